#include "platform/port_device.hpp"

namespace vxorv {

QString devicePathForPort(const SettingsStore& store, std::int16_t port) {
    const QString mapped =
        store.GetSetting(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(port), QString());
    if (!mapped.trimmed().isEmpty()) {
        return mapped.trimmed();
    }
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

QString portMappingHint(const QString& settingsFileName) {
    return QStringLiteral("To use another device for port n, add the line COMn=<device> (for "
                          "example COM1=/dev/ttyUSB0) to the section [Ports] of %1.")
        .arg(settingsFileName);
}

} // namespace vxorv
