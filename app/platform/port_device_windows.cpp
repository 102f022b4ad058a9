#include "platform/port_device.hpp"

namespace vxorv {

// Windows names its serial ports itself: port n is COMn, whatever the device
// behind it (built-in, USB adapter or Bluetooth serial link). A mapping chosen
// in the dialog still applies, to another COM name.
QString builtInDevicePath(std::int16_t port) {
    return QStringLiteral("COM%1").arg(port);
}

QString portMappingHint(const QString&) {
    return QStringLiteral("Port n is the Windows port COMn: the Device Manager lists the "
                          "serial ports under \"Ports (COM & LPT)\".");
}

} // namespace vxorv
