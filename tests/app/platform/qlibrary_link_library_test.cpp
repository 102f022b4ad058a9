#include "platform/qlibrary_link_library.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

const QString libraryFile = QStringLiteral("libwinvxbt.so");
const QString libraryDirectory = QStringLiteral(WINVXBT_DIRECTORY);

TEST(QLibraryLinkLibrary, LoadsByFileNameFromTheFirstDirectoryThatHasIt) {
    QLibraryLinkLibrary library(libraryFile,
                                {QStringLiteral("/nonexistent-vxorv"), libraryDirectory});
    EXPECT_TRUE(library.loadedFrom().isEmpty()); // nothing happens before the first call
    std::uint8_t major = 0, minor = 9, build = 9;
    ASSERT_EQ(library.VXBT_get_ver(&major, &minor, &build), std::optional<std::uint16_t>(0));
    EXPECT_EQ(major, 2);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(build, 0);
    EXPECT_TRUE(library.loadedFrom().startsWith(libraryDirectory));
    EXPECT_EQ(library.VXBT_rx_msg_cnt(0), std::optional<std::uint16_t>(0));
}

TEST(QLibraryLinkLibrary, AMissingLibraryNamesTheFileAndTheLoadersReason) {
    QLibraryLinkLibrary library(QStringLiteral("libvxorv-absent.so"),
                                {QStringLiteral("/nonexistent-vxorv")});
    std::uint8_t version[3];
    EXPECT_FALSE(library.VXBT_get_ver(&version[0], &version[1], &version[2]));
    EXPECT_TRUE(library.bindingError().contains("libvxorv-absent.so"));
    EXPECT_TRUE(library.bindingError().contains("cannot open shared object file"))
        << library.bindingError().toStdString();
}

TEST(QLibraryLinkLibrary, AMissingFunctionNamesTheFunction) {
    // A real library that is not the link library.
    QLibraryLinkLibrary library(QStringLiteral("libQt6Core.so.6"), {});
    EXPECT_FALSE(library.VXBT_close(0));
    EXPECT_TRUE(library.bindingError().contains("VXBT_close"))
        << library.bindingError().toStdString();
    EXPECT_TRUE(library.bindingError().contains("libQt6Core.so.6"));
}

} // namespace
} // namespace vxorv
