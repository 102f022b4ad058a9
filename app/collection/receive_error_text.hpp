#pragma once

#include <QString>

#include <cstdint>

namespace vxorv {

// Names a non-zero result of VXBT_rx_byte for the diagnostic trace.
QString receiveErrorText(std::uint16_t code);

} // namespace vxorv
