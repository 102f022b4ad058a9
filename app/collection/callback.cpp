#include "collection/callback.hpp"

#include "winvxbt.h"

namespace vxorv {
namespace {

// The whole state of the transmit callback.
struct TransmitState {
    SerialPortComponent* port = nullptr;
    std::optional<Reply> lastReply;
};

TransmitState& transmitState() {
    static TransmitState state;
    return state;
}

} // namespace

std::uint16_t serialTransmit(std::uint8_t /*channel*/, std::uint8_t byte) {
    TransmitState& state = transmitState();
    if (!state.port || !state.port->PortOpen()) {
        return VXBT_ERR_NOT_CONNECTED;
    }
    const char buffer[1] = {static_cast<char>(byte)};
    const bool sent = static_cast<bool>(state.port->Output(QByteArrayView(buffer, 1)));
    state.lastReply = Reply{byte, !sent};
    return sent ? VXBT_OK : VXBT_ERR_NOT_CONNECTED;
}

void setTransmitPort(SerialPortComponent* port) {
    transmitState() = TransmitState{port, std::nullopt};
}

std::optional<Reply> takeLastReply() {
    return std::exchange(transmitState().lastReply, std::nullopt);
}

} // namespace vxorv
