#include "platform/qt_serial_port.hpp"

#include "platform/code_page.hpp"
#include "platform/serial_device_check.hpp"
#include "platform/serial_device_write.hpp"

#include <QLoggingCategory>

#include <algorithm>
#include <limits>

namespace vxorv {

Q_LOGGING_CATEGORY(lcSerial, "vxorv.serial", QtWarningMsg)

namespace {

// Bytes Qt keeps read from the device before it stops reading; beyond that
// the data waits in the kernel and flow control holds the sender back.
constexpr qint64 readBufferLimit = 64 * 1024;

QSerialPort::Parity parityOf(char letter) {
    switch (letter) {
    case 'o':
        return QSerialPort::OddParity;
    case 'e':
        return QSerialPort::EvenParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::FlowControl flowControlOf(std::int32_t handshaking) {
    switch (handshaking) {
    case 1:
        return QSerialPort::SoftwareControl;
    case 2:
        return QSerialPort::HardwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

} // namespace

QtSerialPort::QtSerialPort(std::function<QString(std::int16_t)> devicePathForPort,
                           QString portMappingHint)
    : m_devicePathForPort(std::move(devicePathForPort)),
      m_portMappingHint(std::move(portMappingHint)) {
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port,
                     [this] { raise(CommEventReceive); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
    applySettings();
}

QtSerialPort::~QtSerialPort() {
    m_port.disconnect();
    m_port.close();
}

Status QtSerialPort::setCommPort(std::int16_t port) {
    if (Status valid = checkCommPort(port); !valid) {
        return valid;
    }
    if (m_port.isOpen() && port != m_commPort) {
        return Status::failure(QStringLiteral("The port number cannot change while the port is "
                                              "open; stop data collection first."));
    }
    m_commPort = port;
    return Status::ok();
}

Status QtSerialPort::setSettings(const QString& settings) {
    QString error;
    const auto parsed = parsePortSettings(settings, &error);
    if (!parsed) {
        return Status::failure(error);
    }
    m_settings = *parsed;
    applySettings();
    return Status::ok();
}

Status QtSerialPort::setHandshaking(std::int32_t code) {
    if (Status valid = checkHandshaking(code); !valid) {
        return valid;
    }
    m_handshaking = code;
    applySettings();
    return Status::ok();
}

void QtSerialPort::applySettings() {
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(parityOf(m_settings.parity));
    m_port.setDataBits(m_settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    m_port.setStopBits(m_settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port.setFlowControl(flowControlOf(m_handshaking));
}

Status QtSerialPort::setPortOpen(bool open) {
    if (open == m_port.isOpen()) {
        return Status::ok();
    }
    if (!open) {
        m_port.close();
        return Status::ok();
    }
    return this->open();
}

Status QtSerialPort::open() {
    const QString path = m_devicePathForPort(m_commPort);
    m_devicePath = path;
    m_port.setPortName(path);
    applySettings();
    if (!m_port.open(QIODevice::ReadWrite)) {
        return Status::failure(openFailure(path));
    }
    m_port.setReadBufferSize(readBufferLimit);
    m_driverLossesAtOpen = m_driverLosses = bytesDroppedByDriver(m_port.handle()).value_or(0);
    return Status::ok();
}

QString QtSerialPort::openFailure(const QString& path) const {
    const QString port = QStringLiteral("serial port %1 (%2)").arg(m_commPort).arg(path);
    const SerialDeviceKind kind = serialDeviceKind(path);
    if (m_port.error() == QSerialPort::DeviceNotFoundError || kind == SerialDeviceKind::Missing) {
        return QStringLiteral("Cannot open %1: no such device. Check that the device is "
                              "connected and switched on. %2")
            .arg(port, m_portMappingHint);
    }
    // A file or /dev/null would otherwise fail with the terminal call's
    // "Inappropriate ioctl for device", or as a permission problem.
    if (const QString notSerial = notASerialPortReason(path, kind); !notSerial.isEmpty()) {
        return QStringLiteral("Cannot open %1: %2 %3").arg(port, notSerial, m_portMappingHint);
    }
    if (m_port.error() == QSerialPort::PermissionError) {
        return QStringLiteral("Cannot open %1: %2").arg(port, accessDeniedReason(path));
    }
    return QStringLiteral("Cannot open %1: %2.").arg(port, m_port.errorString());
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) ||
        !m_port.isOpen()) {
        return;
    }
    deviceGone(m_port.errorString());
}

void QtSerialPort::deviceGone(const QString& reason) {
    // Left open, the port would report the same error again and again.
    m_lastError = QStringLiteral("The device of serial port %1 (%2) is gone: %3. The port was "
                                 "closed.")
                      .arg(m_commPort)
                      .arg(m_devicePath, reason);
    m_port.close();
    // The error may surface inside Output, within another handler; the event
    // comes from the event loop, one at a time like every other.
    QMetaObject::invokeMethod(
        &m_port, [this] { raise(CommEventDeviceLost); }, Qt::QueuedConnection);
}

void QtSerialPort::raise(CommEventCode event) {
    m_commEvent = event;
    if (m_onComm) {
        m_onComm();
    }
}

Status QtSerialPort::setInputMode(std::int16_t mode) {
    if (mode != InputModeText && mode != InputModeBinary) {
        return Status::failure(
            QStringLiteral("Input mode %1 is not valid: use 0 (text) or 1 (binary).").arg(mode));
    }
    m_inputMode = mode;
    return Status::ok();
}

Status QtSerialPort::setInputLen(std::int16_t length) {
    if (length < 0) {
        return Status::failure(QStringLiteral("Input length %1 is not valid.").arg(length));
    }
    m_inputLen = length;
    return Status::ok();
}

std::int16_t QtSerialPort::InBufferCount() const {
    if (!m_port.isOpen()) {
        return 0;
    }
    return static_cast<std::int16_t>(
        std::min<qint64>(m_port.bytesAvailable(), std::numeric_limits<std::int16_t>::max()));
}

void QtSerialPort::traceDriverLosses() {
    // Without handshaking, a sender faster than we read overflows the
    // driver's buffer and the driver drops bytes: say how many.
    const std::optional<std::int64_t> losses = bytesDroppedByDriver(m_port.handle());
    if (losses && *losses > m_driverLosses) {
        qCWarning(lcSerial).noquote()
            << QStringLiteral("serial port %1 (%2): the driver dropped %3 received byte(s) that "
                              "were not read in time, %4 since the port opened")
                   .arg(m_commPort)
                   .arg(m_devicePath)
                   .arg(*losses - m_driverLosses)
                   .arg(*losses - m_driverLossesAtOpen);
        m_driverLosses = *losses;
    }
}

SerialPortComponent::InputData QtSerialPort::Input() {
    QByteArray bytes;
    if (m_port.isOpen()) {
        bytes = m_port.read(m_inputLen == 0 ? m_port.bytesAvailable() : m_inputLen);
        traceDriverLosses();
    }
    if (m_inputMode == InputModeBinary) {
        return bytes;
    }
    return decodeWindows1252(bytes);
}

Status QtSerialPort::Output(QByteArrayView bytes) {
    if (!m_port.isOpen()) {
        return Status::failure(QStringLiteral("The serial port is not open."));
    }
    // Written to the device at once, past QSerialPort's buffer: replies go out
    // now, not when the event loop next runs, and a device that does not read
    // (a full line) is told apart from a lost one instead of piling up bytes.
    const DeviceWrite write = writeToDevice(m_port.handle(), bytes);
    if (write.outcome == DeviceWrite::Outcome::Written) {
        return Status::ok();
    }
    if (write.outcome == DeviceWrite::Outcome::LineFull) {
        return Status::failure(QStringLiteral("The device does not take what is sent: the line "
                                              "is full."));
    }
    const QString& reason = write.reason;
    deviceGone(reason);
    return Status::failure(QStringLiteral("Writing to the serial port failed: %1.").arg(reason));
}

} // namespace vxorv
