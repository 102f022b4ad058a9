#include "typing_texts.hpp"

#include "typing/keystroke_parser.hpp"

#include <algorithm>
#include <cstdint>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* out) {
    *out << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vxorv::e2e {

// Compares whole transcripts and, on a mismatch, shows where they part.
testing::AssertionResult sameText(const QString& received, const QString& expected) {
    if (received == expected) {
        return testing::AssertionSuccess();
    }
    const auto [r, e] =
        std::mismatch(received.begin(), received.end(), expected.begin(), expected.end());
    const auto at = static_cast<qsizetype>(r - received.begin());
    return testing::AssertionFailure()
           << "received " << received.size() << " characters, expected " << expected.size()
           << "; they part at " << at << ": received \"" << received.mid(at, 40).toStdString()
           << "\", expected \"" << expected.mid(at, 40).toStdString() << "\"";
}

// The keystroke string that types `text` literally.
QString escaped(const std::u32string& text) {
    QString keys;
    for (char32_t c : text) {
        const QString s = QString::fromUcs4(&c, 1);
        keys += std::u32string_view(U"{}()+^~%!").find(c) != std::u32string_view::npos
                    ? QLatin1Char('{') + s + QLatin1Char('}')
                    : s;
    }
    return keys;
}

// What the sink shows for the keys a keystroke string stands for.
QString transcriptOf(const QString& keystrokes) {
    static const char* const names[] = {"ENTER", "TAB",  "ESC",  "BS", "INS",  "DEL",  "HOME",
                                        "END",   "PGUP", "PGDN", "UP", "DOWN", "LEFT", "RIGHT"};
    QString transcript;
    const std::u32string u32 = keystrokes.toStdU32String();
    for (const KeyEvent& event : KeystrokeParser().parse(u32).events) {
        if (event.ctrl) {
            transcript += QLatin1Char('^');
        }
        if (event.kind == KeyEvent::Kind::Character) {
            transcript += QString::fromUcs4(&event.character, 1);
        } else if (event.key >= NamedKey::F1) {
            transcript += QStringLiteral("{F%1}").arg(static_cast<int>(event.key) -
                                                      static_cast<int>(NamedKey::F1) + 1);
        } else {
            transcript +=
                QStringLiteral("{%1}").arg(QLatin1String(names[static_cast<int>(event.key)]));
        }
    }
    return transcript;
}

std::u32string printableAscii() {
    std::u32string text;
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        text += c;
    }
    return text;
}

std::u32string latin1AndWindows1252() {
    std::u32string text = U"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ";
    for (char32_t c = 0xa0; c <= 0xff; ++c) {
        text += c;
    }
    return text;
}

std::u32string greekAndCyrillic() {
    std::u32string text;
    for (char32_t c = 0x391; c <= 0x3c9; ++c) {
        if (c != 0x3a2) { // no capital final sigma
            text += c;
        }
    }
    for (char32_t c = 0x410; c <= 0x44f; ++c) {
        text += c;
    }
    return text + U"Ёё";
}

const QString namedKeys = QStringLiteral(
    "{ENTER}{TAB}{ESC}{BS}{INS}{DEL}{HOME}{END}{PGUP}{PGDN}{UP}{DOWN}{LEFT}{RIGHT}"
    "{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}{F9}{F10}{F11}{F12}{F13}{F14}{F15}{F16}^c^{END}x");

QString longMessage() {
    const std::u32string pool = printableAscii() + U"äöüßéèàç€£°µ½§«»–…αβγЖЩ";
    QString keys;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t pick = (seed >> 8) % (pool.size() + 8);
        keys +=
            pick < pool.size() ? escaped(std::u32string(1, pool[pick])) : QStringLiteral("{ENTER}");
    }
    return keys;
}
} // namespace vxorv::e2e
