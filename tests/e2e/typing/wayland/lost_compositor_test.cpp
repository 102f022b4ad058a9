// The virtual keyboard backend when its compositor stops answering or goes
// away while it types: typing ends with the failure reported, every key not
// typed is named, and nothing hangs. Runs as a client of a headless sway of
// its own (in_sway.sh), which it stops and then kills.

#include "typing/send_keys.hpp"
#include "typing/wayland/virtual_keyboard_backend.hpp"

#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace vxorv {
namespace {

using namespace std::chrono_literals;

// sway's process: its IPC socket is named sway-ipc.<uid>.<pid>.sock.
pid_t swayPid() {
    const std::string socket = std::getenv("SWAYSOCK") != nullptr ? std::getenv("SWAYSOCK") : "";
    const std::size_t end = socket.rfind(".sock");
    const std::size_t begin = socket.rfind('.', end - 1);
    return end == std::string::npos ? 0 : std::stoi(socket.substr(begin + 1, end - begin - 1));
}

class LostCompositor : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_GT(swayPid(), 0) << "run under in_sway.sh";
        std::string problem;
        auto backend = VirtualKeyboardBackend::open(problem);
        ASSERT_TRUE(backend) << problem;
        m_injector = std::make_unique<SendKeys>(std::move(backend));
        m_injector->setOnUntyped([this](const UntypedKeys& untyped) {
            std::lock_guard lock(m_mutex);
            m_reports.push_back(untyped);
        });
    }

    // Types a long message and a short one; returns the reports once typing ended.
    std::vector<UntypedKeys> typeThrough() {
        m_injector->sendKeys(QString(2000, u'x'));
        m_injector->sendKeys(QStringLiteral("end"));
        EXPECT_TRUE(m_injector->waitUntilTypedFor(60s)) << "typing hangs";
        std::lock_guard lock(m_mutex);
        return m_reports;
    }

    std::unique_ptr<SendKeys> m_injector;
    std::mutex m_mutex;
    std::vector<UntypedKeys> m_reports;
};

TEST_F(LostCompositor, AStuckCompositorEndsTypingWithinItsPatience) {
    ::kill(swayPid(), SIGSTOP);
    const std::vector<UntypedKeys> reports = typeThrough();
    ::kill(swayPid(), SIGCONT);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].failure, "the Wayland compositor did not answer for 5 s");
    EXPECT_GT(reports[0].keys.size(), 1900u) << "only the first keys were sent";
    EXPECT_EQ(reports[1].keys.size(), 3u);
    EXPECT_FALSE(m_injector->available());
    EXPECT_EQ(m_injector->unavailableReason().toStdString(), reports[0].failure);
}

TEST_F(LostCompositor, VxbtTypeSaysSoAndEndsInsteadOfWaiting) {
    ::kill(swayPid(), SIGSTOP);
    QProcess vxbt;
    // No session bus: one started on demand through Xwayland would wait for sway.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent"));
    vxbt.setProcessEnvironment(environment);
    vxbt.start(QStringLiteral(VXBT_PATH), {QStringLiteral("type")});
    vxbt.write("abc");
    vxbt.closeWriteChannel();
    const bool ended = vxbt.waitForFinished(30000);
    ::kill(swayPid(), SIGCONT);
    ASSERT_TRUE(ended);
    EXPECT_EQ(vxbt.exitCode(), 1);
    const QByteArray errors = vxbt.readAllStandardError();
    EXPECT_TRUE(errors.contains("did not answer for 5 s")) << errors.toStdString();
}

TEST_F(LostCompositor, ALostConnectionEndsTypingAndIsReported) {
    ::kill(swayPid(), SIGKILL);
    const std::vector<UntypedKeys> reports = typeThrough();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].failure.rfind("lost the connection to the Wayland compositor", 0), 0u)
        << reports[0].failure;
    EXPECT_EQ(reports[1].keys.size(), 3u);
    EXPECT_FALSE(m_injector->available());
}

} // namespace
} // namespace vxorv
