#pragma once

#include "frame_encoder.hpp"

#include <cstdint>
#include <vector>

namespace vxbt::bench {

// Consecutive good whole-message frames of `payload_size` bytes each.
struct FrameStream {
    std::vector<std::uint8_t> bytes;
    std::size_t frame_size = 0;
    std::size_t frames = 0;
};

inline FrameStream make_stream(std::size_t payload_size, std::size_t frames = 256) {
    FrameStream stream;
    std::vector<std::uint8_t> payload(payload_size);
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t i = 0; i < payload_size; ++i) {
            payload[i] = static_cast<std::uint8_t>(f * 31 + i);
        }
        const std::vector<std::uint8_t> frame =
            encode_frame(0x08, static_cast<std::uint8_t>(f), payload);
        stream.bytes.insert(stream.bytes.end(), frame.begin(), frame.end());
        stream.frame_size = frame.size();
    }
    stream.frames = frames;
    return stream;
}

inline std::uint16_t ignore_reply(std::uint8_t, std::uint8_t) { return 0; }

} // namespace vxbt::bench
