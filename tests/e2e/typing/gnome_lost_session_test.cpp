// Under a headless GNOME compositor (in_mutter.sh), which the test then ends:
// a lost remote-desktop session stops typing and says why, and no key waits
// on it. No window here, as a Wayland window's program ends with its
// compositor.

#include "typing/gnome/gnome_backend.hpp"
#include "typing/send_keys.hpp"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

TEST(GnomeSession, ALostSessionIsReportedNotWaitedFor) {
    std::string problem;
    std::unique_ptr<GnomeBackend> backend = GnomeBackend::open(problem);
    ASSERT_TRUE(backend) << problem;
    const GnomeBackend& gnome = *backend;
    SendKeys injector(std::move(backend));
    injector.sendKeys(QStringLiteral("a"));
    ASSERT_TRUE(injector.waitUntilTypedFor(60s));
    ASSERT_EQ(injector.counts().refused, 0u);
    EXPECT_EQ(gnome.failure(), "");

    const auto compositor = static_cast<pid_t>(qEnvironmentVariableIntValue("VXORV_MUTTER_PID"));
    ASSERT_GT(compositor, 0);
    ASSERT_EQ(::kill(compositor, SIGKILL), 0);
    injector.sendKeys(QStringLiteral("bcd"));
    ASSERT_TRUE(injector.waitUntilTypedFor(60s));
    EXPECT_EQ(injector.counts().refused, 3u);
    EXPECT_NE(gnome.failure(), "");
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
