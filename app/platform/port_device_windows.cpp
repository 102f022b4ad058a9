#include "platform/port_device.hpp"

namespace vxorv {
namespace {

QString portKey(std::int16_t port) {
    return QStringLiteral("COM%1").arg(port);
}

} // namespace

// Windows names its serial ports itself: port n is COMn, whatever the device
// behind it (built-in, USB adapter or Bluetooth serial link). A mapping chosen
// in the dialog still applies, to another COM name.
QString devicePathForPort(const SettingsStore& store, std::int16_t port) {
    const QString mapped = store.GetSetting(QStringLiteral("Ports"), portKey(port), QString());
    if (!mapped.trimmed().isEmpty()) {
        return mapped.trimmed();
    }
    return builtInDevicePath(port);
}

QString builtInDevicePath(std::int16_t port) {
    return portKey(port);
}

Status mapPortToDevice(SettingsStore& store, std::int16_t port, const QString& devicePath) {
    return store.SaveSetting(QStringLiteral("Ports"), portKey(port), devicePath.trimmed());
}

QString portMappingHint(const QString&) {
    return QStringLiteral("Port n is the Windows port COMn: the Device Manager lists the "
                          "serial ports under \"Ports (COM & LPT)\".");
}

} // namespace vxorv
