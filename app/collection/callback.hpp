#pragma once

#include "platform/serial_port_component.hpp"

#include <cstdint>
#include <optional>

namespace vxorv {

// The transmit callback the library replies through. It has no user pointer,
// so it reaches the application's one serial port through the registration
// below: writes the byte and returns 0, or returns 9 (VXBT_ERR_NOT_CONNECTED)
// when no port is registered or the port is not open. The channel is not
// examined: every reply goes to the one serial port.
std::uint16_t serialTransmit(std::uint8_t channel, std::uint8_t byte);

// Registers the port serialTransmit writes to (null: none).
void setTransmitPort(SerialPortComponent* port);

// The reply serialTransmit wrote since the last call, if any; lets the
// receive path tell an accepted frame from a byte that completed nothing.
std::optional<std::uint8_t> takeLastReply();

} // namespace vxorv
