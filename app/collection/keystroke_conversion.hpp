#pragma once

#include <QString>

#include <cstdint>

namespace vxorv {

// The keystroke string for received text: every character the injector would
// read as a command is escaped, then codes 127..255 (by Windows-1252) become
// named keys by the table of `ExtendedConversionMode` (1 to 4; any other value
// converts nothing).
QString textToKeystrokes(const QString& text, std::int32_t ExtendedConversionMode);

// The extended conversion alone.
QString DoExtendedConversions(const QString& inString, std::int32_t ExtConversionMode);

} // namespace vxorv
