#include "platform/serial_device_check.hpp"

#include <QSerialPortInfo>

#include <algorithm>

namespace vxorv {

// Windows names nothing but serial ports COMn: a name the system does not
// list is missing, any other is a port.
SerialDeviceKind serialDeviceKind(const QString& path) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const bool listed = std::ranges::any_of(ports, [&path](const QSerialPortInfo& port) {
        return port.portName().compare(path, Qt::CaseInsensitive) == 0;
    });
    return listed ? SerialDeviceKind::SerialPort : SerialDeviceKind::Missing;
}

QString notASerialPortReason(const QString&, SerialDeviceKind) {
    return {};
}

// Windows refuses a listed port to a second program that opens it: no right
// of the user's is missing.
QString accessDeniedReason(const QString&) {
    return QStringLiteral("the port is in use by another program. Close that program or "
                          "choose another port.");
}

} // namespace vxorv
