#pragma once

#include "channel.hpp"
#include "crc.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vxbt {

// The sender's side of the wire format: STX, LEN, CTRL, SEQ, payload, CRC, CR.
// The payload must not exceed frame_buffer_size bytes.
inline std::vector<std::uint8_t> encode_frame(std::uint8_t ctrl, std::uint8_t seq,
                                              std::span<const std::uint8_t> payload) {
    const auto length = static_cast<std::uint16_t>(payload.size() + min_frame_length);
    std::vector<std::uint8_t> frame;
    frame.reserve(length + 3u);
    for (std::uint8_t b : {STX, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length & 0xFF), ctrl, seq}) {
        frame.push_back(b);
    }
    for (std::uint8_t b : payload) {
        frame.push_back(b);
    }
    const std::uint16_t crc = crc_compute(VXBT_CRC_INIT, frame.data() + 1, frame.size() - 1);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(CR);
    return frame;
}

} // namespace vxbt
