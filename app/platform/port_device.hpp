#pragma once

#include "platform/settings_store.hpp"

#include <cstdint>

namespace vxorv {

// The device that port number `port` opens. On Linux: the entry
// Ports/COM<port> of the settings store when present (such as /dev/rfcomm0 or
// /dev/ttyUSB0), else the port-th built-in serial port /dev/ttyS<port-1>. On
// Windows: COM<port>.
QString devicePathForPort(const SettingsStore& store, std::int16_t port);

// The built-in serial port that port number `port` opens when not mapped.
QString builtInDevicePath(std::int16_t port);

// Maps port number `port` to `devicePath` in the settings store; an empty path
// removes the mapping, so that the port opens its built-in device again.
Status mapPortToDevice(SettingsStore& store, std::int16_t port, const QString& devicePath);

// Tells the user how to map a port number to another device.
QString portMappingHint(const QString& settingsFileName);

} // namespace vxorv
