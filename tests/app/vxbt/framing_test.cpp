#include "framing.hpp"

#include <gtest/gtest.h>

namespace vxorv::vxbt {
namespace {

QByteArray hexBytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

TEST(Framing, CrcCheckValue) {
    EXPECT_EQ(frameCrc("123456789"), 0x8864);
}

TEST(Framing, WorkedExample) {
    EXPECT_EQ(encodeFrame(0x09, 0, "abc"), hexBytes("0200080900616263D7A70D"));
    EXPECT_EQ(encodeFrame(0x08, 1, "abc"), hexBytes("02000808016162630B420D"));
}

TEST(Framing, AMessageThatFitsIsOneWholeFrame) {
    FramingOptions options;
    options.firstSeq = 7;
    const auto frames = frameMessage(QByteArray(322, 'x'), options);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 330);
    EXPECT_EQ(frames[0][3], 0x08);
    EXPECT_EQ(frames[0][4], 7);

    const auto empty = frameMessage(QByteArray(), options);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].mid(1, 2), hexBytes("0005"));
}

TEST(Framing, ALongerMessageIsFirstMiddleAndLastFragments) {
    FramingOptions options;
    options.firstSeq = 254;
    options.restart = true;
    options.payloadLimit = 100;
    QByteArray message(250, 'y');
    const auto frames = frameMessage(message, options);
    ASSERT_EQ(frames.size(), 3u);
    const int ctrl[] = {0x19, 0x38, 0x28}; // restart only on the first
    const int seq[] = {254, 255, 0};
    const int payload[] = {100, 100, 50};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(static_cast<std::uint8_t>(frames[i][3]), ctrl[i]) << i;
        EXPECT_EQ(static_cast<std::uint8_t>(frames[i][4]), seq[i]) << i;
        EXPECT_EQ(frames[i].size(), payload[i] + 8) << i;
    }
}

TEST(Framing, ExactlyTwoFragmentsHaveNoMiddle) {
    FramingOptions options;
    const auto frames = frameMessage(QByteArray(323, 'z'), options);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0][3], 0x18);
    EXPECT_EQ(frames[1][3], 0x28);
    EXPECT_EQ(frames[1].size(), 9);
}

} // namespace
} // namespace vxorv::vxbt
