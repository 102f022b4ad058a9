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

} // namespace vxorv
