#pragma once

#include "platform/status.hpp"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <variant>

namespace vxorv {

// The serial port component (`MSComm1`): the one serial port of the
// application, with the operations the logic relies on and nothing more.
// Every assignment the component cannot carry out is a failure the caller sees.
class SerialPortComponent {
  public:
    enum InputModeValue : std::int16_t { InputModeText = 0, InputModeBinary = 1 };

    // Values of CommEvent.
    enum CommEventCode : std::int16_t {
        CommEventNone = 0,
        CommEventReceive = 2,       // received bytes are waiting
        CommEventDeviceLost = 1100, // the device vanished; the port is already closed
    };

    // What one Input read delivers: text in text mode (bytes decoded with the
    // system code page), a byte block in binary mode.
    using InputData = std::variant<QString, QByteArray>;

    virtual ~SerialPortComponent() = default;

    // 1-based port number; selects the device that PortOpen opens.
    virtual std::int16_t CommPort() const = 0;
    virtual Status setCommPort(std::int16_t port) = 0;

    // "baud,parity,data,stop", such as "9600,N,8,1"; reads back with the
    // parity letter in lower case.
    virtual QString Settings() const = 0;
    virtual Status setSettings(const QString& settings) = 0;

    // 0 none, 1 XOn/XOff, 2 RTS, 3 RTS and XOn/XOff.
    virtual std::int32_t Handshaking() const = 0;
    virtual Status setHandshaking(std::int32_t code) = 0;

    virtual bool PortOpen() const = 0;
    // Opening fails with a description that names the device and the reason.
    virtual Status setPortOpen(bool open) = 0;

    virtual std::int16_t InputMode() const = 0;
    virtual Status setInputMode(std::int16_t mode) = 0;
    // Bytes taken by one Input read, 0 = all waiting.
    virtual std::int16_t InputLen() const = 0;
    virtual Status setInputLen(std::int16_t length) = 0;

    virtual std::int16_t InBufferCount() const = 0;
    // Takes up to InputLen waiting bytes out of the receive buffer.
    virtual InputData Input() = 0;
    // Sends a byte block at once.
    virtual Status Output(QByteArrayView bytes) = 0;

    virtual std::int16_t CommEvent() const = 0;
    // For CommEventDeviceLost: what happened to the device.
    virtual QString lastErrorDescription() const = 0;

    // The OnComm event, raised on the user-interface thread, one at a time.
    virtual void setOnComm(std::function<void()> handler) = 0;
};

} // namespace vxorv
