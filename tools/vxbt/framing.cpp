#include "framing.hpp"

#include <algorithm>
#include <array>

namespace vxorv::vxbt {
namespace {

constexpr std::uint16_t crcInit = 0x5A5A;

constexpr std::array<std::uint16_t, 256> crcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reg = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x8000u) ? (reg << 1) ^ 0x1021u : reg << 1;
        }
        table[i] = static_cast<std::uint16_t>(reg);
    }
    return table;
}();

} // namespace

std::uint16_t frameCrc(QByteArrayView coveredBytes) {
    std::uint16_t reg = crcInit;
    for (const char byte : coveredBytes) {
        reg = static_cast<std::uint16_t>(
            crcTable[((reg >> 8) ^ static_cast<std::uint8_t>(byte)) & 0xFFu] ^ (reg << 8));
    }
    return reg;
}

QByteArray encodeFrame(std::uint8_t ctrl, std::uint8_t seq, QByteArrayView payload) {
    const auto length = static_cast<std::uint16_t>(payload.size() + 5);
    QByteArray frame;
    frame.reserve(payload.size() + 8);
    frame += static_cast<char>(STX);
    frame += static_cast<char>(length >> 8);
    frame += static_cast<char>(length & 0xFF);
    frame += static_cast<char>(ctrl);
    frame += static_cast<char>(seq);
    frame += payload;
    const std::uint16_t crc = frameCrc(QByteArrayView(frame).sliced(1));
    frame += static_cast<char>(crc >> 8);
    frame += static_cast<char>(crc & 0xFF);
    frame += static_cast<char>(CR);
    return frame;
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
