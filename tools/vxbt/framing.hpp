#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vxorv::vxbt {

inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t CR = 0x0D;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NAK = 0x15;

inline constexpr std::uint8_t ctrlRestart = 0x01; // kind 1: sequence numbering restarts here
inline constexpr std::uint8_t ctrlData = 0x08;
inline constexpr std::uint8_t ctrlMore = 0x10;
inline constexpr std::uint8_t ctrlContinues = 0x20;

inline constexpr std::size_t maxPayload = 322;  // per frame
inline constexpr std::size_t maxMessage = 4096; // whole message, as the receiver accepts it

// The frame CRC over LEN, CTRL, SEQ and payload (CRC-16, polynomial 0x1021,
// MSB first, initial 0x5A5A, no final XOR).
std::uint16_t frameCrc(QByteArrayView coveredBytes);

// One frame: STX, LEN, CTRL, SEQ, payload (at most maxPayload bytes), CRC, CR.
QByteArray encodeFrame(std::uint8_t ctrl, std::uint8_t seq, QByteArrayView payload);

struct FramingOptions {
    std::uint8_t firstSeq = 0;
    bool restart = false;                  // kind 1 on the first frame
    std::size_t payloadLimit = maxPayload; // 1..maxPayload
};

// The frames of one message (at most maxMessage bytes): one whole-message
// frame when it fits in `payloadLimit`, else a first, middle and last
// fragments, in consecutive sequence numbers.
std::vector<QByteArray> frameMessage(QByteArrayView message, const FramingOptions& options);

} // namespace vxorv::vxbt
