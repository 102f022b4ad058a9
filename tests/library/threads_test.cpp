// Several threads on the library at once: nothing may be lost, duplicated,
// reordered or corrupted.
#include "frame_encoder.hpp"
#include "link_fixture.hpp"
#include "winvxbt.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace vxbt {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::array<std::atomic<int>, VXBT_MAX_CHANNELS> g_acks{};
std::array<std::atomic<int>, VXBT_MAX_CHANNELS> g_naks{};

// Registered with stdcall_callback 1, as VXORV registers its callback.
std::uint16_t VXBT_CALL count_reply(std::uint8_t channel, std::uint8_t byte) {
    (byte == 0x06 ? g_acks : g_naks)[channel].fetch_add(1);
    return VXBT_OK;
}

Bytes message_text(int channel, int index) {
    // Varying lengths, up to fragmenting sizes, with the index spelled out.
    const std::string head = std::to_string(channel) + ":" + std::to_string(index) + ":";
    Bytes text(head.begin(), head.end());
    text.resize(head.size() + static_cast<std::size_t>(index * 37 % 700), static_cast<std::uint8_t>(index));
    return text;
}

// Sends one message as the remote device would: in frames of at most 322
// bytes, repeating the whole message from its first frame while the queue is
// full. Returns the next sequence number.
std::uint8_t send_message(std::uint8_t channel, const Bytes& text, std::uint8_t seq) {
    for (;;) {
        std::uint8_t s = seq;
        std::uint16_t result = VXBT_OK;
        for (std::size_t offset = 0; offset < text.size() && result == VXBT_OK;) {
            const std::size_t n = std::min<std::size_t>(322, text.size() - offset);
            const bool first = offset == 0, last = offset + n == text.size();
            const std::uint8_t ctrl = 0x08 | (last ? 0 : 0x10) | (first ? 0 : 0x20);
            for (std::uint8_t b : encode_frame(ctrl, s, {text.data() + offset, n})) {
                result = VXBT_rx_byte(channel, b);
            }
            offset += n;
            ++s;
        }
        if (result == VXBT_OK) {
            return s;
        }
        EXPECT_EQ(result, VXBT_ERR_NO_MEMORY);
        std::this_thread::yield();
    }
}

std::vector<Bytes> take_all(std::uint8_t channel, std::size_t count) {
    std::vector<Bytes> received;
    Bytes dst(VXBT_MAX_MESSAGE);
    while (received.size() < count) {
        if (VXBT_rx_msg_cnt(channel) == 0) {
            std::this_thread::yield();
            continue;
        }
        const std::uint16_t n = VXBT_get_msg(channel, dst.data());
        received.emplace_back(dst.begin(), dst.begin() + n);
    }
    return received;
}

constexpr int messages_per_channel = 400;

class ThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::uint8_t ch = 0; ch < VXBT_MAX_CHANNELS; ++ch) {
            g_acks[ch] = 0;
            g_naks[ch] = 0;
        }
    }
    void TearDown() override {
        for (std::uint8_t ch = 0; ch < VXBT_MAX_CHANNELS; ++ch) {
            VXBT_close(ch);
        }
    }
};

TEST_F(ThreadsTest, TwoChannelsDrivenFromTwoThreads) {
    for (std::uint8_t ch = 0; ch < 2; ++ch) {
        ASSERT_EQ(VXBT_init(ch, 4096, 3, 1, 1, test::as_tx_callback(count_reply)), VXBT_OK);
    }
    auto drive = [](std::uint8_t ch, std::vector<Bytes>* received) {
        std::uint8_t seq = 0;
        for (int i = 0; i < messages_per_channel; ++i) {
            seq = send_message(ch, message_text(ch, i), seq);
            Bytes dst(VXBT_MAX_MESSAGE);
            while (VXBT_rx_msg_cnt(ch) > 0) {
                const std::uint16_t n = VXBT_get_msg(ch, dst.data());
                received->emplace_back(dst.begin(), dst.begin() + n);
            }
        }
    };
    std::vector<Bytes> received[2];
    std::thread a(drive, 0, &received[0]);
    std::thread b(drive, 1, &received[1]);
    a.join();
    b.join();
    for (int ch : {0, 1}) {
        ASSERT_EQ(received[ch].size(), static_cast<std::size_t>(messages_per_channel));
        for (int i = 0; i < messages_per_channel; ++i) {
            ASSERT_EQ(received[ch][static_cast<std::size_t>(i)], message_text(ch, i)) << ch << "/" << i;
        }
        EXPECT_EQ(g_naks[static_cast<std::size_t>(ch)], 0);
    }
}

TEST_F(ThreadsTest, OneThreadTakesWhileAnotherFeedsTheSameChannel) {
    ASSERT_EQ(VXBT_init(4, 4096, 2, 1, 1, test::as_tx_callback(count_reply)), VXBT_OK);
    std::thread feeder([] {
        std::uint8_t seq = 0;
        for (int i = 0; i < messages_per_channel; ++i) {
            seq = send_message(4, message_text(4, i), seq);
        }
    });
    const std::vector<Bytes> received = take_all(4, messages_per_channel);
    feeder.join();
    for (int i = 0; i < messages_per_channel; ++i) {
        ASSERT_EQ(received[static_cast<std::size_t>(i)], message_text(4, i)) << i;
    }
    EXPECT_EQ(VXBT_rx_msg_cnt(4), 0);
}

} // namespace
} // namespace vxbt
