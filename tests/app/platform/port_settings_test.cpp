#include "platform/port_settings.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

TEST(PortSettings, ReadsBackWithALowerCaseParityLetter) {
    for (const char* text : {"9600,N,8,1", "9600,n,8,1"}) {
        const auto parsed = parsePortSettings(QString::fromLatin1(text), nullptr);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(parsed->toString(), "9600,n,8,1");
    }
    EXPECT_EQ(parsePortSettings(QStringLiteral("115200,E,7,2"), nullptr)->toString(),
              "115200,e,7,2");
    EXPECT_EQ(parsePortSettings(QStringLiteral("1200,o,8,1"), nullptr)->toString(), "1200,o,8,1");
}

TEST(PortSettings, RejectsAnythingButFourValidFields) {
    for (const char* text :
         {"", "9600", "9600,N,8", "9600,N,8,1,1", "9600,N,8,1,", " 9600,N,8,1", "9600,N ,8,1",
          "9601,N,8,1", "-9600,N,8,1", "+9600,N,8,1", "9600,X,8,1", "9600,NN,8,1", "9600,,8,1",
          "9600,N,6,1", "9600,N,8,3", "9600,N,8,1.5", "99999999999999,N,8,1"}) {
        QString error;
        EXPECT_FALSE(parsePortSettings(QString::fromLatin1(text), &error)) << text;
        EXPECT_TRUE(error.contains(QString::fromLatin1(text))) << error.toStdString();
    }
}

TEST(PortSettings, HandshakingThreeCannotBeUsedHere) {
    for (const int code : {0, 1, 2}) {
        EXPECT_TRUE(checkHandshaking(code)) << code;
    }
    for (const int code : {3, -1, 4}) {
        const Status status = checkHandshaking(code);
        EXPECT_FALSE(status) << code;
        EXPECT_FALSE(status.description().isEmpty());
    }
}

TEST(PortSettings, PortNumbersStartAtOne) {
    EXPECT_TRUE(checkCommPort(1));
    EXPECT_TRUE(checkCommPort(255));
    EXPECT_FALSE(checkCommPort(0));
    EXPECT_FALSE(checkCommPort(-1));
}

} // namespace
} // namespace vxorv
