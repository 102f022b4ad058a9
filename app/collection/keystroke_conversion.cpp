#include "collection/keystroke_conversion.hpp"

#include "platform/code_page.hpp"

#include <array>
#include <utility>

namespace vxorv {
namespace {

// Carry the braces added by the first two steps past the second one, which
// would otherwise escape the "}" that the first has just added.
const QString openForOpen = QStringLiteral("ZoRBeqOpenQSentryForOpen");
const QString closeForOpen = QStringLiteral("ZoRBeqCloseQSentryForOpen");
const QString openForClose = QStringLiteral("ZoRBeqOpenQSentryForClose");
const QString closeForClose = QStringLiteral("ZoRBeqCloseQSentryForClose");

QString escapeInjectorCommands(QString text) {
    const std::array<std::pair<QString, QString>, 13> steps{{
        {QStringLiteral("{"), openForOpen + u'{' + closeForOpen},
        {QStringLiteral("}"), openForClose + u'}' + closeForClose},
        {openForOpen, QStringLiteral("{")},
        {openForClose, QStringLiteral("{")},
        {closeForOpen, QStringLiteral("}")},
        {closeForClose, QStringLiteral("}")},
        {QStringLiteral("("), QStringLiteral("{(}")},
        {QStringLiteral(")"), QStringLiteral("{)}")},
        {QStringLiteral("+"), QStringLiteral("{+}")},
        {QStringLiteral("!"), QStringLiteral("{!}")},
        {QStringLiteral("^"), QStringLiteral("{^}")},
        {QStringLiteral("~"), QStringLiteral("{~}")},
        {QStringLiteral("%"), QStringLiteral("{%}")},
    }};
    for (const auto& [search, replacement] : steps) {
        text.replace(search, replacement);
    }
    return text;
}

constexpr int firstCode = 131;
constexpr int lastCode = 155;
using ModeTable = std::array<const char16_t*, lastCode - firstCode + 1>;

// Codes 131..155; null = unchanged. Mode 1 additionally removes 127..130 and
// blanks 156..254.
constexpr std::array<ModeTable, 4> tables{{
    {u"{ENTER}", u"{TAB}", u"{F1}",   u"{F2}",   u"{F3}",  u"{F4}",   u"{F5}",
     u"{F6}",    u"{F7}",  u"{F8}",   u"{F9}",   u"{F10}", u"{F11}",  u"{F12}",
     u"{HOME}",  u"{END}", u"{PGUP}", u"{PGDN}", u"{UP}",  u"{DOWN}", u"{LEFT}",
     u"{RIGHT}", u"{ESC}", u"^",      u"\u20AC"},
    {u"{ENTER}", u"{TAB}", u"{F1}",   u"{F2}",   u"{F3}",  u"{F4}",   u"{F5}",
     u"{F6}",    u"{F7}",  u"{F8}",   u"{F9}",   u"{F10}", u"{ESC}",  u"{BS}",
     u"{HOME}",  u"{END}", u"{PGUP}", u"{PGDN}", u"{UP}",  u"{DOWN}", u"{LEFT}",
     u"{RIGHT}", u"{ESC}", u"^",      u" "},
    {nullptr, u"{TAB}", u"{F1}",  u"{F2}",  u"{F3}",  u"{F4}",    u"{F5}", u"{F6}",  u"{F7}",
     u"{F8}", u"{F9}",  u"{F10}", u"{F11}", u"{F12}", u"{ENTER}", nullptr, u"{INS}", u"{DEL}",
     nullptr, nullptr,  nullptr,  nullptr,  nullptr,  nullptr,    u" "},
    {u"{ENTER}", u"{TAB}",  u"{F1}",   u"{F2}",    u"{F3}",  u"{F4}",  u"{F5}",  u"{F6}",  u"{F7}",
     u"{F8}",    u"{F9}",   u"{F10}",  u"{F11}",   u"{F12}", u"{F13}", u"{F14}", u"{F15}", u"{F16}",
     u"{UP}",    u"{DOWN}", u"{LEFT}", u"{RIGHT}", u"{ESC}", u"^",     u" "},
}};

} // namespace

QString DoExtendedConversions(const QString& inString, std::int32_t ExtConversionMode) {
    if (ExtConversionMode < 1 || ExtConversionMode > 4) {
        return inString;
    }
    const ModeTable& table = tables[static_cast<std::size_t>(ExtConversionMode - 1)];
    QString result;
    result.reserve(inString.size());
    // Every rule maps one character by its code, and no replacement can match a
    // later rule, so one pass per character gives the same result as the
    // rule-by-rule replacement.
    for (const QChar c : inString) {
        const auto code = unicodeToWindows1252(c);
        if (!code) {
            result += c;
        } else if (ExtConversionMode == 1 && *code >= 127 && *code <= 130) {
            // removed
        } else if (ExtConversionMode == 1 && *code >= 156 && *code <= 254) {
            result += u' ';
        } else if (*code >= firstCode && *code <= lastCode && table[*code - firstCode]) {
            result += QString::fromUtf16(table[*code - firstCode]);
        } else {
            result += c;
        }
    }
    return result;
}

QString textToKeystrokes(const QString& text, std::int32_t ExtendedConversionMode) {
    return DoExtendedConversions(escapeInjectorCommands(text), ExtendedConversionMode);
}

} // namespace vxorv
