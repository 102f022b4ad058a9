// The frame receiver, the sequence and fragment rules and the message queue,
// driven through the exported functions as an application drives them.
#include "link_fixture.hpp"

namespace vxbt::test {
namespace {

using Exchange = std::pair<std::uint16_t, std::uint8_t>;

Bytes payload_of(std::size_t n, std::uint8_t seed = 0) {
    Bytes p(n);
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return p;
}

// Brings the channel to expecting `seq` with a kind-1 frame that carries no data.
void expect_next(std::uint8_t seq) {
    for (std::uint8_t b : frame(restart, static_cast<std::uint8_t>(seq - 1), {})) {
        ASSERT_EQ(VXBT_rx_byte(0, b), VXBT_OK);
    }
}

using ReceiverTest = LinkTest;

TEST_F(ReceiverTest, EncoderReproducesTheReferenceFrames) {
    EXPECT_EQ(frame(whole | restart, 0, bytes_of("abc")), frame_a);
    EXPECT_EQ(frame(whole, 1, bytes_of("abc")), frame_b);
}

TEST_F(ReceiverTest, GoodFrameIsAcknowledgedAfterItsCrAndQueuedOnce) {
    open();
    const std::vector<std::uint16_t> results = feed_each(frame_a);
    EXPECT_EQ(results, std::vector<std::uint16_t>(frame_a.size(), VXBT_OK));
    EXPECT_EQ(g_replies, (std::vector<Reply>{{0, ack}}));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
    EXPECT_EQ(take(), bytes_of("abc"));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
    EXPECT_EQ(take(), Bytes{});
}

TEST_F(ReceiverTest, NoReplyBeforeTheClosingCr) {
    open();
    for (std::size_t i = 0; i + 1 < frame_a.size(); ++i) {
        VXBT_rx_byte(0, frame_a[i]);
        EXPECT_TRUE(g_replies.empty()) << "after byte " << i;
    }
}

TEST_F(ReceiverTest, CrcFailureDrawsNakAndTheRepeatIsAccepted) {
    open();
    for (std::size_t bit = 8; bit < (frame_a.size() - 1) * 8; bit += 13) {
        Bytes corrupted = frame_a;
        corrupted[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        if (bit / 8 <= 2) {
            continue; // a changed LEN is a different frame, not a CRC failure
        }
        EXPECT_EQ(exchange(corrupted), Exchange(VXBT_ERR_CRC, nak)) << "bit " << bit;
    }
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
    EXPECT_EQ(exchange(frame_a), Exchange(VXBT_OK, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
}

TEST_F(ReceiverTest, RepeatedFrameIsAcknowledgedButNotQueuedAgain) {
    open();
    EXPECT_EQ(exchange(frame_a), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame_b), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame_b), Exchange(VXBT_ERR_DUPLICATE, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 2);
    // A kind-1 frame restarts the numbering, so it is never a duplicate.
    EXPECT_EQ(exchange(frame_a), Exchange(VXBT_OK, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 3);
}

TEST_F(ReceiverTest, StrayBytesBetweenFramesAreRefusedOneByOne) {
    open();
    EXPECT_EQ(VXBT_rx_byte(0, 0x41), VXBT_ERR_FRAME);
    EXPECT_EQ(VXBT_rx_byte(0, 0x0D), VXBT_ERR_FRAME);
    EXPECT_EQ(exchange(frame_a), Exchange(VXBT_OK, ack));
}

TEST_F(ReceiverTest, LengthOutOfRangeResynchronisesOnCrThenStx) {
    open();
    for (const Bytes& bad_length : {Bytes{0x02, 0x01, 0x48}, Bytes{0x02, 0x00, 0x04}}) {
        EXPECT_EQ(feed(bad_length), VXBT_ERR_FRAME);
        EXPECT_EQ(feed_each({0x08, 0x00, 0x02, 0x41}),
                  std::vector<std::uint16_t>(4, VXBT_ERR_FRAME));
        EXPECT_EQ(VXBT_rx_byte(0, 0x0D), VXBT_OK);
        EXPECT_EQ(VXBT_rx_byte(0, 0x41), VXBT_ERR_FRAME) << "only STX right after CR resyncs";
        EXPECT_EQ(VXBT_rx_byte(0, 0x02), VXBT_ERR_FRAME);
        EXPECT_EQ(VXBT_rx_byte(0, 0x0D), VXBT_OK);
        EXPECT_TRUE(g_replies.empty());
        // The STX right after the CR opens the next frame.
        EXPECT_EQ(exchange(frame_a), Exchange(VXBT_OK, ack));
        g_replies.clear();
    }
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 2);
}

TEST_F(ReceiverTest, MissingCrAfterTheCrcDrawsNakAndResynchronises) {
    open();
    Bytes no_cr = frame_a;
    no_cr.back() = 0x0A;
    EXPECT_EQ(exchange(no_cr), Exchange(VXBT_ERR_FRAME, nak));
    EXPECT_EQ(VXBT_rx_byte(0, 0x0D), VXBT_OK);
    EXPECT_EQ(exchange(frame_a), Exchange(VXBT_OK, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
}

TEST_F(ReceiverTest, FrameWithoutDataOnlyConsumesItsSequenceNumber) {
    open();
    EXPECT_EQ(exchange(frame(restart, 10, {})), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(0x00, 11, bytes_of("ignored"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
    EXPECT_EQ(exchange(frame(0x00, 11, {})), Exchange(VXBT_ERR_DUPLICATE, ack));
    EXPECT_EQ(exchange(frame(whole, 12, bytes_of("x"))), Exchange(VXBT_OK, ack));
}

TEST_F(ReceiverTest, EmptyMessageIsQueuedAndTakenLikeAnyOther) {
    open();
    EXPECT_EQ(exchange(frame(whole, 0, {})), Exchange(VXBT_OK, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
    EXPECT_EQ(take(), Bytes{});
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
}

TEST_F(ReceiverTest, PayloadMayHoldAnyByteValueUpToTheLargestFrame) {
    open();
    Bytes every_value(256);
    for (unsigned i = 0; i < 256; ++i) {
        every_value[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(exchange(frame(whole, 0, every_value)), Exchange(VXBT_OK, ack));
    const Bytes largest = payload_of(322, 0x02);
    EXPECT_EQ(exchange(frame(whole, 1, largest)), Exchange(VXBT_OK, ack));
    EXPECT_EQ(take(), every_value);
    EXPECT_EQ(take(), largest);
}

TEST_F(ReceiverTest, FragmentsAreReassembledIntoOneMessage) {
    open();
    const Bytes message = payload_of(600);
    const Bytes head(message.begin(), message.begin() + 322);
    const Bytes tail(message.begin() + 322, message.end());
    EXPECT_EQ(exchange(frame(first, 0, head)), Exchange(VXBT_OK, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
    EXPECT_EQ(exchange(frame(last, 1, tail)), Exchange(VXBT_OK, ack));
    EXPECT_EQ(take(), message);
}

TEST_F(ReceiverTest, FragmentOutOfSequenceIsRefusedAndTheReassemblyGoesOn) {
    open();
    EXPECT_EQ(exchange(frame(first, 0, bytes_of("one "))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(middle, 2, bytes_of("three "))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(exchange(frame(middle, 1, bytes_of("two "))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(middle, 2, bytes_of("three "))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(last, 4, bytes_of("five"))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(exchange(frame(last, 3, bytes_of("four"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(take(), bytes_of("one two three four"));
}

TEST_F(ReceiverTest, ContinuationWithoutAFirstFragmentIsRefused) {
    open();
    EXPECT_EQ(exchange(frame(last, 0, bytes_of("x"))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(exchange(frame(middle, 0, bytes_of("x"))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
}

TEST_F(ReceiverTest, WholeMessageAbandonsAReassemblyInProgress) {
    open();
    EXPECT_EQ(exchange(frame(first, 0, bytes_of("lost"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 1, bytes_of("whole"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(last, 2, bytes_of("end"))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(take(), bytes_of("whole"));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
}

TEST_F(ReceiverTest, FullQueueRefusesAWholeMessageUntilOneIsTaken) {
    open(0, 4096, 2);
    EXPECT_EQ(exchange(frame(whole, 0, bytes_of("1"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 1, bytes_of("2"))), Exchange(VXBT_OK, ack));
    const Bytes third = frame(whole, 2, bytes_of("3"));
    EXPECT_EQ(exchange(third), Exchange(VXBT_ERR_NO_MEMORY, nak));
    EXPECT_EQ(exchange(third), Exchange(VXBT_ERR_NO_MEMORY, nak));
    EXPECT_EQ(take(), bytes_of("1"));
    EXPECT_EQ(exchange(third), Exchange(VXBT_OK, ack));
    EXPECT_EQ(take(), bytes_of("2"));
    EXPECT_EQ(take(), bytes_of("3"));
}

TEST_F(ReceiverTest, FullQueueAtTheLastFragmentRewindsToTheFirstFragment) {
    open(0, 4096, 2);
    EXPECT_EQ(exchange(frame(whole, 5, bytes_of("1"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 6, bytes_of("2"))), Exchange(VXBT_OK, ack));
    const Bytes head = frame(first, 7, bytes_of("head-"));
    const Bytes tail = frame(last, 8, bytes_of("tail"));
    EXPECT_EQ(exchange(head), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(tail), Exchange(VXBT_ERR_NO_MEMORY, nak));
    // The receiver expects SEQ 7 again, so the repeated last fragment is a gap.
    EXPECT_EQ(exchange(tail), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(take(), bytes_of("1"));
    EXPECT_EQ(exchange(head), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(tail), Exchange(VXBT_OK, ack));
    EXPECT_EQ(take(), bytes_of("2"));
    EXPECT_EQ(take(), bytes_of("head-tail"));
}

TEST_F(ReceiverTest, TooLongMessageIsDroppedWithoutReplyAndItsNumberConsumed) {
    open(0, 100);
    EXPECT_EQ(exchange(frame(whole, 0, payload_of(100))), Exchange(VXBT_OK, ack));
    const Bytes too_long = frame(whole, 1, payload_of(101));
    EXPECT_EQ(exchange(too_long), Exchange(VXBT_ERR_TOO_LONG, no_reply));
    EXPECT_EQ(exchange(too_long), Exchange(VXBT_ERR_DUPLICATE, ack));
    EXPECT_EQ(exchange(frame(first, 2, payload_of(101))), Exchange(VXBT_ERR_TOO_LONG, no_reply));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
}

TEST_F(ReceiverTest, ReassemblySizeCountsTheLengthKeptFromTheLastFirstFragment) {
    open(0, 100);
    EXPECT_EQ(exchange(frame(first, 0, payload_of(60))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(middle, 1, payload_of(50))), Exchange(VXBT_ERR_TOO_LONG, no_reply));
    // No reassembly is in progress now, yet the 60 bytes still count.
    EXPECT_EQ(exchange(frame(middle, 2, payload_of(45))), Exchange(VXBT_ERR_TOO_LONG, no_reply));
    EXPECT_EQ(exchange(frame(middle, 3, payload_of(30))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(exchange(frame(last, 3, payload_of(30))), Exchange(VXBT_ERR_FRAGMENT, nak));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
}

TEST_F(ReceiverTest, ReassemblyUpToTheLargestMessage) {
    open(0, 4096, 1);
    const Bytes message = payload_of(4096, 3);
    std::uint8_t seq = 0;
    std::size_t offset = 0;
    while (offset < message.size()) {
        const std::size_t n = std::min<std::size_t>(322, message.size() - offset);
        const bool is_first = offset == 0;
        const bool is_last = offset + n == message.size();
        const std::uint8_t ctrl = is_first ? first : is_last ? last : middle;
        const Bytes piece(message.begin() + static_cast<long>(offset),
                          message.begin() + static_cast<long>(offset + n));
        ASSERT_EQ(exchange(frame(ctrl, seq++, piece)), Exchange(VXBT_OK, ack));
        offset += n;
    }
    EXPECT_EQ(take(), message);
    EXPECT_EQ(exchange(frame(first, seq, payload_of(322))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(last, ++seq, payload_of(1))), Exchange(VXBT_OK, ack));
}

TEST_F(ReceiverTest, SequenceDistanceSeparatesDuplicatesFromFramesAhead) {
    open();
    expect_next(202);
    EXPECT_EQ(exchange(frame(whole, 74, bytes_of("behind"))), Exchange(VXBT_ERR_DUPLICATE, ack));
    EXPECT_EQ(exchange(frame(whole, 73, bytes_of("ahead"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 74, bytes_of("next"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(take(), bytes_of("ahead"));
    EXPECT_EQ(take(), bytes_of("next"));
}

TEST_F(ReceiverTest, SequenceNumbersWrapAndKindOneRestartsThem) {
    open();
    EXPECT_EQ(exchange(frame(whole, 255, bytes_of("a"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 0, bytes_of("b"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 255, bytes_of("a"))), Exchange(VXBT_ERR_DUPLICATE, ack));
    EXPECT_EQ(exchange(frame(whole | restart, 100, bytes_of("c"))), Exchange(VXBT_OK, ack));
    EXPECT_EQ(exchange(frame(whole, 100, bytes_of("c"))), Exchange(VXBT_ERR_DUPLICATE, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 3);
}

// The same exchanges give the same results whether the library replies itself
// or leaves replying to the application.
class AutoAckTest : public LinkTest, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(AutoAckTest, ResultsDoNotDependOnAutomaticReplies) {
    open(0, 100, 2, GetParam());
    Bytes bad_crc = frame_b;
    bad_crc[5] ^= 1;
    const std::vector<Bytes> frames{frame_a, frame_b, frame_b, bad_crc,
                                    frame(whole, 2, payload_of(101)), frame(last, 3, {1}),
                                    frame(whole, 3, {1}), Bytes{0x02, 0x00, 0x02}};
    std::vector<std::uint16_t> results;
    for (const Bytes& f : frames) {
        results.push_back(feed_each(f).back());
    }
    EXPECT_EQ(results, (std::vector<std::uint16_t>{0, 0, 8, 5, 7, 6, 3, 4}));
    const std::vector<Reply> automatic{{0, ack}, {0, ack}, {0, ack}, {0, nak}, {0, nak}, {0, nak}};
    EXPECT_EQ(g_replies, GetParam() ? automatic : std::vector<Reply>{});
}

INSTANTIATE_TEST_SUITE_P(Replies, AutoAckTest, ::testing::Values(0, 1, 200));

} // namespace
} // namespace vxbt::test
