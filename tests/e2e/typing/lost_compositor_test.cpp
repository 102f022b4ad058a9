// Under a headless GNOME or KDE compositor (in_desktop.sh), which the test
// then ends: the backend that lost it stops typing and says why, and no key
// waits on it. No window here, as a Wayland window's program ends with its
// compositor.

#include "typing/keystroke_backend_factory.hpp"
#include "typing/send_keys.hpp"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

// Whether `pid` has ended within a minute (a zombie, as its parent waits
// for us, or gone).
bool ended(pid_t pid) {
    const QString stat = QStringLiteral("/proc/%1/stat").arg(pid);
    for (int i = 0; i < 6000; ++i) {
        QFile file(stat);
        if (!file.open(QIODevice::ReadOnly) || file.readAll().contains(") Z ")) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(LostCompositor, IsReportedNotWaitedFor) {
    KeystrokeBackendChoice choice = chooseKeystrokeBackend(automaticBackend);
    ASSERT_TRUE(choice.backend) << choice.problem;
    const KeystrokeBackend& backend = *choice.backend;
    SendKeys injector(std::move(choice.backend));
    injector.sendKeys(QStringLiteral("a"));
    ASSERT_TRUE(injector.waitUntilTypedFor(60s));
    ASSERT_EQ(injector.counts().refused, 0u);
    EXPECT_EQ(backend.failure(), "");

    const auto compositor =
        static_cast<pid_t>(qEnvironmentVariableIntValue("VXORV_COMPOSITOR_PID"));
    ASSERT_GT(compositor, 0);
    ASSERT_EQ(::kill(compositor, SIGKILL), 0);
    ASSERT_TRUE(ended(compositor));
    injector.sendKeys(QStringLiteral("bcd"));
    ASSERT_TRUE(injector.waitUntilTypedFor(60s));
    EXPECT_EQ(injector.counts().refused, 3u);
    EXPECT_NE(backend.failure(), "");
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
