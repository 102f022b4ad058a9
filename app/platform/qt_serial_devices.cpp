#include "platform/qt_serial_devices.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <chrono>

namespace vxorv {
namespace {

const QString devFolder = QStringLiteral("/dev");
const QString byIdFolder = QStringLiteral("/dev/serial/by-id");
// udev creates a device's links a moment after the device itself.
constexpr std::chrono::milliseconds settleTime{500};

// The Bluetooth address an rfcomm device is bound to, as the kernel shows it.
QString bluetoothAddress(const QString& name) {
    QFile file(QStringLiteral("/sys/class/tty/%1/address").arg(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(file.readAll()).trimmed().toUpper();
}

QString describe(const QSerialPortInfo& port) {
    if (port.portName().startsWith(u"rfcomm")) {
        const QString address = bluetoothAddress(port.portName());
        return address.isEmpty() ? QStringLiteral("Bluetooth serial link")
                                 : QStringLiteral("Bluetooth %1").arg(address);
    }
    const QString maker = port.manufacturer().trimmed();
    const QString product = port.description().trimmed();
    if (!maker.isEmpty() && !product.isEmpty() && !product.startsWith(maker)) {
        return maker + u' ' + product;
    }
    if (!product.isEmpty() || !maker.isEmpty()) {
        return product.isEmpty() ? maker : product;
    }
    return port.portName().startsWith(u"ttyS") ? QStringLiteral("built-in serial port")
                                               : QStringLiteral("serial device");
}

// The by-id link that leads to `systemPath`, if any.
QString byIdLink(const QString& folder, const QString& systemPath) {
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo& link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == systemPath) {
            return link.absoluteFilePath();
        }
    }
    return {};
}

} // namespace

QtSerialDeviceList::QtSerialDeviceList() : m_devices(enumerate()) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleTime);
    QObject::connect(&m_settle, &QTimer::timeout, [this] { refresh(); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged,
                     [this] { m_settle.start(); });
    watchFolders();
}

void QtSerialDeviceList::watchFolders() {
    for (const QString& folder : {devFolder, byIdFolder}) {
        if (QFileInfo(folder).isDir() && !m_watcher.directories().contains(folder)) {
            m_watcher.addPath(folder);
        }
    }
}

void QtSerialDeviceList::refresh() {
    watchFolders(); // /dev/serial appears with the first USB serial device
    std::vector<SerialDevice> now = enumerate();
    if (now == m_devices) {
        return;
    }
    m_devices = std::move(now);
    if (m_onChange) {
        m_onChange();
    }
}

std::vector<SerialDevice> QtSerialDeviceList::enumerate() {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        const QString systemPath = port.systemLocation();
        const QString byId = byIdLink(byIdFolder, systemPath);
        devices.push_back({byId.isEmpty() ? systemPath : byId, systemPath, describe(port)});
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}

} // namespace vxorv
