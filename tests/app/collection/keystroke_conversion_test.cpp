#include "collection/keystroke_conversion.hpp"
#include "platform/code_page.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

// Text made of received bytes, decoded as the receive path decodes them.
QString bytes(std::initializer_list<int> codes) {
    QByteArray raw;
    for (const int code : codes) {
        raw += static_cast<char>(code);
    }
    return decodeWindows1252(raw);
}

QString convert(const QString& text, int mode = 0) {
    return textToKeystrokes(text, mode);
}

TEST(Escaping, BracesBecomeBracedBraces) {
    EXPECT_EQ(convert(QStringLiteral("a{b}c")), "a{{}b{}}c");
    EXPECT_EQ(convert(QStringLiteral("{}")), "{{}{}}");
    EXPECT_EQ(convert(QStringLiteral("}}{{")), "{}}{}}{{}{{}");
}

TEST(Escaping, InjectorCommandsAreEscapedOnce) {
    EXPECT_EQ(convert(QStringLiteral("(1+2)^3~%!")), "{(}1{+}2{)}{^}3{~}{%}{!}");
    EXPECT_EQ(convert(QStringLiteral("{(}")), "{{}{(}{}}");
}

TEST(Escaping, LeavesOtherCharactersAlone) {
    EXPECT_EQ(convert(QStringLiteral("[x]")), "[x]");
    EXPECT_EQ(convert(QString()), "");
    const QString control = QStringLiteral("a\r\n\tb") + QChar(u'\0') + QStringLiteral("é");
    EXPECT_EQ(convert(control), control);
}

TEST(Escaping, SentinelTextInTheDataBecomesABareBrace) {
    EXPECT_EQ(convert(QStringLiteral("xZoRBeqOpenQSentryForOpeny")), "x{y");
    EXPECT_EQ(convert(QStringLiteral("ZoRBeqOpenQSentryForClose")), "{");
    EXPECT_EQ(convert(QStringLiteral("ZoRBeqCloseQSentryForOpen")), "}");
    EXPECT_EQ(convert(QStringLiteral("ZoRBeqCloseQSentryForClose")), "}");
}

TEST(ExtendedConversion, ModesOutsideOneToFourConvertNothing) {
    for (const int mode : {0, 5, -1, 65536}) {
        EXPECT_EQ(convert(bytes({131, 154, 200}), mode), bytes({131, 154, 200})) << mode;
    }
}

TEST(ExtendedConversion, ModeOneRemovesBlanksAndKeeps255) {
    EXPECT_EQ(convert(bytes({'a', 127, 128, 129, 130, 'b'}), 1), "ab");
    EXPECT_EQ(convert(bytes({156, 200, 254}), 1), "   ");
    EXPECT_EQ(convert(bytes({255}), 1), QString(QChar(0xFF)));
    EXPECT_EQ(convert(bytes({155}), 1), QString(QChar(0x20AC)));
}

TEST(ExtendedConversion, ModeOneTable) {
    EXPECT_EQ(
        convert(bytes({131, 132, 133, 142, 143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 153}),
                1),
        "{ENTER}{TAB}{F1}{F10}{F11}{F12}{HOME}{END}{PGUP}{PGDN}{UP}{DOWN}{LEFT}{RIGHT}"
        "{ESC}");
}

TEST(ExtendedConversion, CtrlPrefixFromTheDeviceButCaretFromTheDataIsLiteral) {
    EXPECT_EQ(convert(bytes({154, 'c'}), 1), "^c");
    EXPECT_EQ(convert(QStringLiteral("^c"), 1), "{^}c");
}

TEST(ExtendedConversion, ModeTwoHasEscapeAndBackspace) {
    EXPECT_EQ(convert(bytes({143, 144, 153, 155, 127, 200}), 2),
              "{ESC}{BS}{ESC} " + bytes({127, 200}));
}

TEST(ExtendedConversion, ModeThreeLeavesGaps) {
    EXPECT_EQ(convert(bytes({131, 146, 149, 154}), 3), bytes({131, 146, 149, 154}));
    EXPECT_EQ(convert(bytes({145, 147, 148, 155}), 3), "{ENTER}{INS}{DEL} ");
}

TEST(ExtendedConversion, ModeFourHasF13ToF16) {
    EXPECT_EQ(convert(bytes({145, 146, 147, 148}), 4), "{F13}{F14}{F15}{F16}");
}

TEST(ExtendedConversion, PlainPathExample) {
    EXPECT_EQ(convert(bytes({'A', 'B', 131}), 1), "AB{ENTER}");
}

TEST(ExtendedConversion, UndefinedCodePagePositionsAreConverted) {
    EXPECT_EQ(convert(bytes({129}), 1), ""); // removed like 127, 128, 130
    EXPECT_EQ(convert(bytes({141, 143, 144}), 4), "{F9}{F11}{F12}");
}

} // namespace
} // namespace vxorv
