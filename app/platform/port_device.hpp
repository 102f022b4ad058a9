#pragma once

#include "platform/settings_store.hpp"

#include <cstdint>

namespace vxorv {

// The device that port number `port` opens: the entry Ports/COM<port> of the
// settings store when present (such as /dev/rfcomm0 or /dev/ttyUSB0), else the
// port-th built-in serial port /dev/ttyS<port-1>.
QString devicePathForPort(const SettingsStore& store, std::int16_t port);

// Tells the user how to map a port number to another device.
QString portMappingHint(const QString& settingsFileName);

} // namespace vxorv
