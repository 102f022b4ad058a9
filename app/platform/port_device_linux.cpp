#include "platform/port_device.hpp"

namespace vxorv {

QString builtInDevicePath(std::int16_t port) {
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

QString portMappingHint(const QString& settingsFileName) {
    return QStringLiteral("Choose the port's device in Properties (the arrow above the port "
                          "list), or add the line COMn=<device> (for example "
                          "COM1=/dev/ttyUSB0) to the section [Ports] of %1.")
        .arg(settingsFileName);
}

} // namespace vxorv
