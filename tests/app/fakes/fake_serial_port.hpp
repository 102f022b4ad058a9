#pragma once

#include "platform/code_page.hpp"
#include "platform/port_settings.hpp"
#include "platform/serial_port_component.hpp"

#include <algorithm>

namespace vxorv {

// A serial port for tests: the test delivers received bytes, reads what was
// written, and scripts open failures. Assignments are checked by the same
// rules as the real port.
class FakeSerialPort final : public SerialPortComponent {
  public:
    // Open failures: set `openFailure` to make PortOpen = true fail with it.
    QString openFailure;
    QByteArray written;
    int inputReads = 0;

    // Bytes arrive: they wait in the receive buffer and OnComm reports them.
    void receive(const QByteArray& bytes) {
        m_buffer += bytes;
        raise(CommEventReceive);
    }
    void raise(std::int16_t event) {
        m_commEvent = event;
        if (m_onComm) {
            m_onComm();
        }
    }
    void loseDevice(const QString& description) {
        m_open = false;
        m_lastError = description;
        raise(CommEventDeviceLost);
    }
    const QByteArray& waiting() const { return m_buffer; }

    std::int16_t CommPort() const override { return m_commPort; }
    Status setCommPort(std::int16_t port) override {
        Status valid = checkCommPort(port);
        if (valid) {
            m_commPort = port;
        }
        return valid;
    }
    QString Settings() const override { return m_settings.toString(); }
    Status setSettings(const QString& settings) override {
        QString error;
        const auto parsed = parsePortSettings(settings, &error);
        if (!parsed) {
            return Status::failure(error);
        }
        m_settings = *parsed;
        return Status::ok();
    }
    std::int32_t Handshaking() const override { return m_handshaking; }
    Status setHandshaking(std::int32_t code) override {
        Status valid = checkHandshaking(code);
        if (valid) {
            m_handshaking = code;
        }
        return valid;
    }
    bool PortOpen() const override { return m_open; }
    Status setPortOpen(bool open) override {
        if (open && !m_open && !openFailure.isEmpty()) {
            return Status::failure(openFailure);
        }
        m_open = open;
        return Status::ok();
    }
    std::int16_t InputMode() const override { return m_inputMode; }
    Status setInputMode(std::int16_t mode) override {
        m_inputMode = mode;
        return Status::ok();
    }
    std::int16_t InputLen() const override { return m_inputLen; }
    Status setInputLen(std::int16_t length) override {
        m_inputLen = length;
        return Status::ok();
    }
    std::int16_t InBufferCount() const override {
        return static_cast<std::int16_t>(std::min<qsizetype>(m_buffer.size(), 32767));
    }
    InputData Input() override {
        ++inputReads;
        const qsizetype n =
            m_inputLen == 0 ? m_buffer.size() : std::min<qsizetype>(m_inputLen, m_buffer.size());
        const QByteArray bytes = m_buffer.left(n);
        m_buffer.remove(0, n);
        if (m_inputMode == InputModeBinary) {
            return bytes;
        }
        return decodeWindows1252(bytes);
    }
    Status Output(QByteArrayView bytes) override {
        if (!m_open) {
            return Status::failure(QStringLiteral("not open"));
        }
        written += bytes.toByteArray();
        return Status::ok();
    }
    std::int16_t CommEvent() const override { return m_commEvent; }
    QString lastErrorDescription() const override { return m_lastError; }
    void setOnComm(std::function<void()> handler) override { m_onComm = std::move(handler); }

  private:
    std::int16_t m_commPort = 1;
    PortSettings m_settings;
    std::int32_t m_handshaking = 0;
    bool m_open = false;
    std::int16_t m_inputMode = InputModeText;
    std::int16_t m_inputLen = 0;
    std::int16_t m_commEvent = CommEventNone;
    QByteArray m_buffer;
    QString m_lastError;
    std::function<void()> m_onComm;
};

} // namespace vxorv
