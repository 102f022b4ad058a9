#include "platform/code_page.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

TEST(CodePage, DecodesWindows1252) {
    EXPECT_EQ(windows1252ToUnicode(0x80), QChar(0x20AC));
    EXPECT_EQ(windows1252ToUnicode(0x83), QChar(0x0192));
    EXPECT_EQ(windows1252ToUnicode(0x9F), QChar(0x0178));
    EXPECT_EQ(windows1252ToUnicode(0x41), QChar(u'A'));
    EXPECT_EQ(windows1252ToUnicode(0x00), QChar(u'\0'));
    EXPECT_EQ(windows1252ToUnicode(0xE9), QChar(0xE9));
}

TEST(CodePage, UndefinedPositionsDecodeToTheSameNumber) {
    for (const int byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(windows1252ToUnicode(static_cast<std::uint8_t>(byte)), QChar(byte)) << byte;
    }
}

TEST(CodePage, EveryByteRoundTrips) {
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    const QString text = decodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(unicodeToWindows1252(text[byte]), byte) << byte;
    }
}

TEST(CodePage, CharactersOutsideTheCodePageHaveNoByte) {
    EXPECT_FALSE(unicodeToWindows1252(QChar(0x0083)));
    EXPECT_FALSE(unicodeToWindows1252(QChar(0x0100)));
}

} // namespace
} // namespace vxorv
