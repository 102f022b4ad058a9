#pragma once

#include "frame_encoder.hpp"
#include "winvxbt.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace vxbt::test {

using Bytes = std::vector<std::uint8_t>;

struct Reply {
    std::uint8_t channel;
    std::uint8_t byte;
    bool operator==(const Reply&) const = default;
};

// Every byte the library hands to the transmit callback, in order.
inline std::vector<Reply> g_replies;
inline std::uint16_t g_callback_result = VXBT_OK;

// A callback of the convention that stdcall_callback 1 selects is declared
// VXBT_CALL (stdcall on 32-bit Windows, the one convention elsewhere) and
// registered cast to the header's callback type.
using stdcall_tx_callback = std::uint16_t(VXBT_CALL*)(std::uint8_t channel, std::uint8_t byte);

inline vxbt_tx_callback as_tx_callback(stdcall_tx_callback callback) {
    return reinterpret_cast<vxbt_tx_callback>(callback);
}

inline std::uint16_t VXBT_CALL record_reply(std::uint8_t channel, std::uint8_t byte) {
    g_replies.push_back({channel, byte});
    return g_callback_result;
}

// record_reply as registered, with stdcall_callback 1.
inline const vxbt_tx_callback stdcall_record_reply = as_tx_callback(record_reply);

inline Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes frame(std::uint8_t ctrl, std::uint8_t seq, const Bytes& payload) {
    return encode_frame(ctrl, seq, payload);
}

constexpr std::uint8_t whole = 0x08;  // data, whole message, kind 0
constexpr std::uint8_t first = 0x18;  // data, more follow
constexpr std::uint8_t middle = 0x38; // data, more follow, continues
constexpr std::uint8_t last = 0x28;   // data, continues
constexpr std::uint8_t restart = 0x01; // kind 1: restart the sequence numbering

// Frames A and B of the protocol description: "abc" with kind 1 and SEQ 0, and
// "abc" with kind 0 and SEQ 1.
inline const Bytes frame_a{0x02, 0x00, 0x08, 0x09, 0x00, 0x61, 0x62, 0x63, 0xD7, 0xA7, 0x0D};
inline const Bytes frame_b{0x02, 0x00, 0x08, 0x08, 0x01, 0x61, 0x62, 0x63, 0x0B, 0x42, 0x0D};

// Opens channels through the exports and closes every channel afterwards, so
// that each test starts from closed channels and an empty reply log.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_replies.clear();
        g_callback_result = VXBT_OK;
    }
    void TearDown() override {
        for (std::uint8_t ch = 0; ch < VXBT_MAX_CHANNELS; ++ch) {
            VXBT_close(ch);
        }
    }

    static void open(std::uint8_t channel = 0, std::uint16_t max_message_length = 4096,
                     std::uint16_t max_queued = 5, std::uint8_t auto_ack = 1) {
        ASSERT_EQ(
            VXBT_init(channel, max_message_length, max_queued, auto_ack, 1, stdcall_record_reply),
            VXBT_OK);
    }

    // The result of every byte, in order.
    static std::vector<std::uint16_t> feed_each(const Bytes& bytes, std::uint8_t channel = 0) {
        std::vector<std::uint16_t> results;
        for (std::uint8_t b : bytes) {
            results.push_back(VXBT_rx_byte(channel, b));
        }
        return results;
    }

    // Feeds a frame and returns the result of its last byte; every other byte
    // must be taken with result 0.
    static std::uint16_t feed(const Bytes& bytes, std::uint8_t channel = 0) {
        std::vector<std::uint16_t> results = feed_each(bytes, channel);
        const std::uint16_t result = results.back();
        results.pop_back();
        EXPECT_EQ(results, std::vector<std::uint16_t>(results.size(), VXBT_OK));
        return result;
    }

    // Feeds a frame and returns its result with the reply it drew (0 for none).
    static std::pair<std::uint16_t, std::uint8_t> exchange(const Bytes& bytes,
                                                           std::uint8_t channel = 0) {
        g_replies.clear();
        const std::uint16_t result = feed(bytes, channel);
        EXPECT_LE(g_replies.size(), 1u) << "at most one reply per frame";
        return {result, g_replies.empty() ? std::uint8_t{0} : g_replies.front().byte};
    }

    static Bytes take(std::uint8_t channel = 0) {
        Bytes dst(VXBT_MAX_MESSAGE + 1, 0xEE);
        const std::uint16_t n = VXBT_get_msg(channel, dst.data());
        EXPECT_EQ(dst[n], 0xEE) << "no byte beyond the message may be written";
        dst.resize(n);
        return dst;
    }
};

inline constexpr std::uint8_t ack = 0x06;
inline constexpr std::uint8_t nak = 0x15;
inline constexpr std::uint8_t no_reply = 0x00;

} // namespace vxbt::test
