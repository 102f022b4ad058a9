#pragma once

#include "platform/status.hpp"

#include <QString>

#include <cstdint>
#include <optional>

namespace vxorv {

// A port settings string such as "9600,N,8,1": exactly four fields separated by
// single commas, no blanks.
struct PortSettings {
    std::int32_t baudRate = 9600;
    char parity = 'n'; // 'n', 'o' or 'e'
    std::int32_t dataBits = 8;
    std::int32_t stopBits = 1;

    // The text the component reports: parity letter in lower case.
    QString toString() const;
};

// Parses a settings string; both cases of the parity letter are accepted.
// A rejected string yields a description naming the faulty field.
std::optional<PortSettings> parsePortSettings(const QString& text, QString* error);

} // namespace vxorv

namespace vxorv {

// Port numbers start at 1 and fit the 16-bit CommPort.
Status checkCommPort(std::int16_t port);

// Handshaking codes this platform's serial ports can use: 0 none, 1 XOn/XOff,
// 2 RTS. Code 3 (RTS and XOn/XOff together) has no equivalent here.
Status checkHandshaking(std::int32_t code);

} // namespace vxorv
