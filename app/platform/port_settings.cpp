#include "platform/port_settings.hpp"

#include <QStringList>

#include <algorithm>
#include <array>

namespace vxorv {
namespace {

constexpr std::array<std::int32_t, 19> supportedBaudRates{
    110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200, 28800,
    38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};

// A field of decimal digits only, as the settings string has no signs or blanks.
std::optional<std::int32_t> digits(const QString& field) {
    if (field.isEmpty() || field.size() > 9 ||
        !std::all_of(field.begin(), field.end(),
                     [](QChar c) { return c.isDigit() && c < u'\x80'; })) {
        return std::nullopt;
    }
    return field.toInt();
}

} // namespace

QString PortSettings::toString() const {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baudRate)
        .arg(QChar::fromLatin1(parity))
        .arg(dataBits)
        .arg(stopBits);
}

std::optional<PortSettings> parsePortSettings(const QString& text, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<PortSettings> {
        if (error) {
            *error = QStringLiteral("The port settings \"%1\" are not valid: %2.").arg(text, why);
        }
        return std::nullopt;
    };
    const QStringList fields = text.split(u',');
    if (fields.size() != 4) {
        return fail(QStringLiteral("expected speed, parity, data bits and stop bits, such as "
                                   "\"9600,N,8,1\""));
    }
    PortSettings settings;
    const auto baud = digits(fields[0]);
    if (!baud || std::find(supportedBaudRates.begin(), supportedBaudRates.end(), *baud) ==
                     supportedBaudRates.end()) {
        return fail(QStringLiteral("unsupported speed \"%1\"").arg(fields[0]));
    }
    settings.baudRate = *baud;

    const QString parity = fields[1].toLower();
    if (parity != u"n" && parity != u"o" && parity != u"e") {
        return fail(QStringLiteral("parity must be N, O or E, not \"%1\"").arg(fields[1]));
    }
    settings.parity = parity.at(0).toLatin1();

    const auto dataBits = digits(fields[2]);
    if (!dataBits || (*dataBits != 7 && *dataBits != 8)) {
        return fail(QStringLiteral("data bits must be 7 or 8, not \"%1\"").arg(fields[2]));
    }
    settings.dataBits = *dataBits;

    const auto stopBits = digits(fields[3]);
    if (!stopBits || (*stopBits != 1 && *stopBits != 2)) {
        return fail(QStringLiteral("stop bits must be 1 or 2, not \"%1\"").arg(fields[3]));
    }
    settings.stopBits = *stopBits;
    return settings;
}

} // namespace vxorv

namespace vxorv {

Status checkCommPort(std::int16_t port) {
    if (port < 1) {
        return Status::failure(
            QStringLiteral("Port number %1 is not valid: ports are numbered from 1.").arg(port));
    }
    return Status::ok();
}

Status checkHandshaking(std::int32_t code) {
    if (code == 3) {
        return Status::failure(QStringLiteral(
            "Handshaking 3 (RTS and XOn/XOff together) is not supported on this system; "
            "choose RTS or XOn/XOff."));
    }
    if (code < 0 || code > 3) {
        return Status::failure(
            QStringLiteral("Handshaking code %1 is not valid: use 0 (none), 1 (XOn/XOff) or 2 "
                           "(RTS).")
                .arg(code));
    }
    return Status::ok();
}

} // namespace vxorv
