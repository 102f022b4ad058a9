#pragma once

#include "platform/serial_port_component.hpp"

#include <cstdint>
#include <optional>

namespace vxorv {

// The transmit callback the library replies through. It has no user pointer,
// so it reaches the application's one serial port through the registration
// below: writes the byte and returns 0, or returns 9 (VXBT_ERR_NOT_CONNECTED)
// when no port is registered, the port is not open or the write failed. A
// reply the port cannot take (the device does not read) is dropped: the
// device sends the frame again after its time-out. The channel is not
// examined: every reply goes to the one serial port.
std::uint16_t serialTransmit(std::uint8_t channel, std::uint8_t byte);

// Registers the port serialTransmit writes to (null: none).
void setTransmitPort(SerialPortComponent* port);

struct Reply {
    std::uint8_t byte = 0;
    bool dropped = false; // the port did not take it
};

// The reply the library gave through serialTransmit since the last call, if
// any; lets the receive path tell an accepted frame from a byte that
// completed nothing, and count the replies that were dropped.
std::optional<Reply> takeLastReply();

} // namespace vxorv
