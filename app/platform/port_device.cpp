#include "platform/port_device.hpp"

namespace vxorv {

namespace {

QString portKey(std::int16_t port) {
    return QStringLiteral("COM%1").arg(port);
}

} // namespace

QString devicePathForPort(const SettingsStore& store, std::int16_t port) {
    const QString mapped = store.GetSetting(QStringLiteral("Ports"), portKey(port), QString());
    if (!mapped.trimmed().isEmpty()) {
        return mapped.trimmed();
    }
    return builtInDevicePath(port);
}

QString builtInDevicePath(std::int16_t port) {
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

Status mapPortToDevice(SettingsStore& store, std::int16_t port, const QString& devicePath) {
    return store.SaveSetting(QStringLiteral("Ports"), portKey(port), devicePath.trimmed());
}

QString portMappingHint(const QString& settingsFileName) {
    return QStringLiteral("Choose the port's device in Properties (the arrow above the port "
                          "list), or add the line COMn=<device> (for example "
                          "COM1=/dev/ttyUSB0) to the section [Ports] of %1.")
        .arg(settingsFileName);
}

} // namespace vxorv
