#include "framing.hpp"

#include "frame_encoder.hpp"

#include <algorithm>
#include <span>

namespace vxorv::vxbt {
namespace {

std::span<const std::uint8_t> bytesOf(QByteArrayView bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()),
            static_cast<std::size_t>(bytes.size())};
}

} // namespace

// The library's own frame code, so that the tool and the receiver cannot drift apart.
std::uint16_t frameCrc(QByteArrayView coveredBytes) {
    const std::span<const std::uint8_t> covered = bytesOf(coveredBytes);
    return ::vxbt::crc_compute(VXBT_CRC_INIT, covered.data(), covered.size());
}

QByteArray encodeFrame(std::uint8_t ctrl, std::uint8_t seq, QByteArrayView payload) {
    const std::vector<std::uint8_t> frame = ::vxbt::encode_frame(ctrl, seq, bytesOf(payload));
    return {reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size())};
}

std::vector<QByteArray> frameMessage(QByteArrayView message, const FramingOptions& options) {
    const auto limit = static_cast<qsizetype>(options.payloadLimit);
    std::vector<QByteArray> frames;
    std::uint8_t seq = options.firstSeq;
    const std::uint8_t kind = options.restart ? ctrlRestart : 0;
    if (message.size() <= limit) {
        frames.push_back(encodeFrame(ctrlData | kind, seq, message));
        return frames;
    }
    for (qsizetype offset = 0; offset < message.size(); offset += limit) {
        const bool first = offset == 0;
        const bool last = offset + limit >= message.size();
        std::uint8_t ctrl = ctrlData;
        ctrl |= last ? 0 : ctrlMore;
        ctrl |= first ? kind : ctrlContinues;
        frames.push_back(encodeFrame(
            ctrl, seq++, message.sliced(offset, std::min(limit, message.size() - offset))));
    }
    return frames;
}

} // namespace vxorv::vxbt
