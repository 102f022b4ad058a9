#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>

#include <cstdint>
#include <optional>

namespace vxorv {

// The single-byte code page of received data: Windows-1252. The five
// positions it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the
// control characters of the same number.
QChar windows1252ToUnicode(std::uint8_t byte);
QString decodeWindows1252(QByteArrayView bytes);

// The byte that decodes to `c`, or nullopt when none does.
std::optional<std::uint8_t> unicodeToWindows1252(QChar c);

} // namespace vxorv
