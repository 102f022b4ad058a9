#pragma once

#include "platform/port_settings.hpp"
#include "platform/serial_port_component.hpp"

#include <QSerialPort>

#include <functional>

namespace vxorv {

// The serial port component on QSerialPort. Port n opens the device that
// `devicePathForPort(n)` names.
class QtSerialPort final : public SerialPortComponent {
  public:
    // `portMappingHint` tells the user where a port number is mapped to a
    // device; it ends the message for a device that does not exist.
    QtSerialPort(std::function<QString(std::int16_t)> devicePathForPort, QString portMappingHint);
    ~QtSerialPort() override;

    std::int16_t CommPort() const override { return m_commPort; }
    Status setCommPort(std::int16_t port) override;
    QString Settings() const override { return m_settings.toString(); }
    Status setSettings(const QString& settings) override;
    std::int32_t Handshaking() const override { return m_handshaking; }
    Status setHandshaking(std::int32_t code) override;
    bool PortOpen() const override { return m_port.isOpen(); }
    Status setPortOpen(bool open) override;
    std::int16_t InputMode() const override { return m_inputMode; }
    Status setInputMode(std::int16_t mode) override;
    std::int16_t InputLen() const override { return m_inputLen; }
    Status setInputLen(std::int16_t length) override;
    std::int16_t InBufferCount() const override;
    InputData Input() override;
    Status Output(QByteArrayView bytes) override;
    std::int16_t CommEvent() const override { return m_commEvent; }
    QString lastErrorDescription() const override { return m_lastError; }
    void setOnComm(std::function<void()> handler) override { m_onComm = std::move(handler); }

  private:
    void applySettings();
    Status open();
    QString openFailure(const QString& path) const;
    void onError(QSerialPort::SerialPortError error);
    void deviceGone(const QString& reason);
    void traceDriverLosses();
    void raise(CommEventCode event);

    std::function<QString(std::int16_t)> m_devicePathForPort;
    QString m_portMappingHint;
    QSerialPort m_port;
    QString m_devicePath; // of the last open
    std::int16_t m_commPort = 1;
    PortSettings m_settings;
    std::int32_t m_handshaking = 0;
    std::int16_t m_inputMode = InputModeText;
    std::int16_t m_inputLen = 0;
    std::int16_t m_commEvent = CommEventNone;
    QString m_lastError;
    // The driver's running count of dropped bytes, when the port opened and at the last look.
    std::int64_t m_driverLossesAtOpen = 0;
    std::int64_t m_driverLosses = 0;
    std::function<void()> m_onComm;
};

} // namespace vxorv
