// Opening and closing channels, the version query, the limits, and the
// acknowledgement exports with their transmit callback.
#include "link_fixture.hpp"

namespace vxbt::test {
namespace {

std::vector<Reply> g_other_replies;

std::uint16_t record_other(std::uint8_t channel, std::uint8_t byte) {
    g_other_replies.push_back({channel, byte});
    return VXBT_OK;
}

class ChannelTableTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        g_other_replies.clear();
    }
};

TEST_F(ChannelTableTest, VersionIsTwoZeroZeroWithoutAnyChannel) {
    std::uint8_t major = 9, minor = 9, build = 9;
    EXPECT_EQ(VXBT_get_ver(&major, &minor, &build), VXBT_OK);
    EXPECT_EQ((std::vector<int>{major, minor, build}), (std::vector<int>{2, 0, 0}));
    EXPECT_EQ(VXBT_get_ver(nullptr, nullptr, nullptr), VXBT_OK);
}

TEST_F(ChannelTableTest, LimitsAreCheckedAndARefusedChannelStaysClosed) {
    EXPECT_EQ(VXBT_init(0, 4096, 255, 1, 1, stdcall_record_reply), VXBT_OK);
    for (auto [length, queued] : {std::pair<int, int>{4097, 5}, {0, 5}, {100, 256}, {100, 0}}) {
        EXPECT_EQ(VXBT_init(1, static_cast<std::uint16_t>(length),
                            static_cast<std::uint16_t>(queued), 1, 1, stdcall_record_reply),
                  VXBT_ERR_PARAM)
            << length << "/" << queued;
        EXPECT_EQ(VXBT_rx_byte(1, 0x02), VXBT_ERR_STATE);
    }
    EXPECT_EQ(VXBT_init(1, 1, 1, 1, 1, stdcall_record_reply), VXBT_OK);
}

TEST_F(ChannelTableTest, CallbackIsRegisteredBeforeTheChannelIsExamined) {
    EXPECT_EQ(VXBT_init(0, 4096, 5, 1, 1, stdcall_record_reply), VXBT_OK);
    EXPECT_EQ(VXBT_init(1, 4096, 5, 1, 1, nullptr), VXBT_ERR_PARAM);
    EXPECT_EQ(VXBT_send_ack(0), VXBT_OK);
    EXPECT_EQ(g_replies.size(), 1u) << "a null callback leaves the earlier one registered";

    EXPECT_EQ(VXBT_init(7, 4096, 5, 1, 0, record_other), VXBT_ERR_NOT_CONNECTED);
    EXPECT_EQ(VXBT_send_nack(0), VXBT_OK);
    EXPECT_EQ(g_other_replies, (std::vector<Reply>{{0, nak}}));
}

TEST_F(ChannelTableTest, OpeningAnOpenChannelLeavesItUntouched) {
    open(0, 4096, 5);
    EXPECT_EQ(exchange(frame_a), std::make_pair(std::uint16_t{VXBT_OK}, ack));
    feed_each({0x02, 0x00}); // a frame half received
    EXPECT_EQ(VXBT_init(0, 1, 1, 0, 1, stdcall_record_reply), VXBT_ERR_STATE);
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
    g_replies.clear();
    // The frame in progress completes, the sequence goes on, auto_ack stays on
    // and the 3-byte message is within the original limits.
    feed_each({0x08, 0x08, 0x01, 0x61, 0x62, 0x63, 0x0B, 0x42});
    EXPECT_EQ(VXBT_rx_byte(0, 0x0D), VXBT_OK);
    EXPECT_EQ(g_replies, (std::vector<Reply>{{0, ack}}));
    EXPECT_EQ(take(), bytes_of("abc"));
    EXPECT_EQ(take(), bytes_of("abc"));
}

TEST_F(ChannelTableTest, CloseFreesTheQueueAndReopeningStartsAfresh) {
    open();
    EXPECT_EQ(exchange(frame(whole, 40, bytes_of("kept?"))).first, VXBT_OK);
    feed_each({0x02, 0x00, 0x08});
    EXPECT_EQ(VXBT_close(0), VXBT_OK);
    EXPECT_EQ(VXBT_close(0), VXBT_ERR_STATE);
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
    EXPECT_EQ(take(), Bytes{});
    EXPECT_EQ(VXBT_rx_byte(0, 0x02), VXBT_ERR_STATE);

    open();
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 0);
    // Waits for STX, and takes the next frame's number as its own (40 would be a
    // duplicate had the old numbering survived).
    EXPECT_EQ(VXBT_rx_byte(0, 0x08), VXBT_ERR_FRAME);
    EXPECT_EQ(exchange(frame(whole, 40, bytes_of("new"))).first, VXBT_OK);
    EXPECT_EQ(take(), bytes_of("new"));
}

TEST_F(ChannelTableTest, ChannelsAreIndependent) {
    open(0);
    open(6, 10, 2);
    EXPECT_EQ(exchange(frame_a, 0).first, VXBT_OK);
    EXPECT_EQ(exchange(frame_a, 6).first, VXBT_OK);
    EXPECT_EQ(exchange(frame_b, 6).first, VXBT_OK);
    EXPECT_EQ(exchange(frame_b, 6).first, VXBT_ERR_DUPLICATE);
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
    EXPECT_EQ(VXBT_rx_msg_cnt(6), 2);
    EXPECT_EQ(VXBT_close(6), VXBT_OK);
    EXPECT_EQ(take(0), bytes_of("abc"));
}

TEST_F(ChannelTableTest, ChannelNumbersAboveSixAreRefusedEverywhere) {
    Bytes dst(16, 0xEE);
    for (std::uint8_t ch : {std::uint8_t{7}, std::uint8_t{255}}) {
        EXPECT_EQ(VXBT_close(ch), VXBT_ERR_STATE);
        EXPECT_EQ(VXBT_rx_byte(ch, 0x02), VXBT_ERR_STATE);
        EXPECT_EQ(VXBT_send_ack(ch), VXBT_ERR_STATE);
        EXPECT_EQ(VXBT_send_nack(ch), VXBT_ERR_STATE);
        EXPECT_EQ(VXBT_rx_msg_cnt(ch), 0);
        EXPECT_EQ(VXBT_get_msg(ch, dst.data()), 0);
    }
    EXPECT_EQ(dst, Bytes(16, 0xEE));
    EXPECT_TRUE(g_replies.empty());
}

TEST_F(ChannelTableTest, NullBufferTakesNothing) {
    open();
    feed(frame_a);
    EXPECT_EQ(VXBT_get_msg(0, nullptr), 0);
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
    EXPECT_EQ(take(), bytes_of("abc"));
}

TEST_F(ChannelTableTest, RepliesOnRequestReturnTheCallbacksResult) {
    EXPECT_EQ(VXBT_send_ack(0), VXBT_ERR_STATE);
    EXPECT_TRUE(g_replies.empty());
    open(3, 4096, 5, 0);
    g_callback_result = VXBT_ERR_NOT_CONNECTED;
    EXPECT_EQ(VXBT_send_nack(3), VXBT_ERR_NOT_CONNECTED);
    g_callback_result = 0x1234;
    EXPECT_EQ(VXBT_send_ack(3), 0x1234);
    EXPECT_EQ(g_replies, (std::vector<Reply>{{3, nak}, {3, ack}}));
}

TEST_F(ChannelTableTest, AutomaticRepliesIgnoreAFailingCallback) {
    open();
    g_callback_result = VXBT_ERR_NOT_CONNECTED;
    EXPECT_EQ(exchange(frame_a), std::make_pair(std::uint16_t{VXBT_OK}, ack));
    EXPECT_EQ(VXBT_rx_msg_cnt(0), 1);
}

TEST_F(ChannelTableTest, AllChannelsReplyThroughTheCallbackRegisteredLast) {
    open(0);
    ASSERT_EQ(VXBT_init(1, 4096, 5, 1, 0, record_other), VXBT_OK);
    feed(frame_a, 0);
    feed(frame_a, 1);
    EXPECT_TRUE(g_replies.empty());
    EXPECT_EQ(g_other_replies, (std::vector<Reply>{{0, ack}, {1, ack}}));
}

// The callback runs inside VXBT_rx_byte with the channel's lock held; the lock
// is re-entrant, so the callback may take the message it is acknowledging.
Bytes g_taken_in_callback;

std::uint16_t take_inside_callback(std::uint8_t channel, std::uint8_t byte) {
    g_replies.push_back({channel, byte});
    Bytes dst(VXBT_MAX_MESSAGE);
    dst.resize(VXBT_get_msg(channel, dst.data()));
    g_taken_in_callback = dst;
    return VXBT_OK;
}

TEST_F(ChannelTableTest, CallbackMayCallBackIntoTheSameChannel) {
    ASSERT_EQ(VXBT_init(2, 4096, 5, 1, 0, take_inside_callback), VXBT_OK);
    EXPECT_EQ(feed(frame_a, 2), VXBT_OK);
    EXPECT_EQ(g_replies, (std::vector<Reply>{{2, ack}}));
    EXPECT_EQ(g_taken_in_callback, bytes_of("abc")) << "queued before the ACK went out";
    EXPECT_EQ(VXBT_rx_msg_cnt(2), 0);
}

} // namespace
} // namespace vxbt::test
