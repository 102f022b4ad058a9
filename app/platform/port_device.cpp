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

Status mapPortToDevice(SettingsStore& store, std::int16_t port, const QString& devicePath) {
    return store.SaveSetting(QStringLiteral("Ports"), portKey(port), devicePath.trimmed());
}

} // namespace vxorv
