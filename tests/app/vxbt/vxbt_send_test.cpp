// vxbt send, playing the remote device, against the application core: two
// pseudo-terminals joined by a null-modem thread, the core on one, the tool on
// the other.

#include "collection/data_collection.hpp"
#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_tray_icon.hpp"
#include "fakes/recording_backend.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/qt_timer.hpp"
#include "typing/send_keys.hpp"
#include "pseudo_terminal.hpp"

#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace vxorv {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using testing::PseudoTerminal;

// Copies bytes both ways between the masters of two pseudo-terminals.
class NullModem {
  public:
    NullModem(int a, int b) : m_thread([this, a, b] { run(a, b); }) {}
    ~NullModem() {
        m_stop = true;
        m_thread.join();
    }

  private:
    void run(int a, int b) {
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        char buffer[4096];
        while (!m_stop) {
            if (poll(fds, 2, 10) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].revents & POLLIN) {
                    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                    for (ssize_t done = 0; n > 0 && done < n;) {
                        const ssize_t w = ::write(fds[1 - i].fd, buffer + done,
                                                  static_cast<std::size_t>(n - done));
                        done += w > 0 ? w : 0;
                    }
                }
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(VxbtSend, DeliversABatchWithFragmentedMessagesAllAcknowledged) {
    PseudoTerminal wedgeSide;
    PseudoTerminal deviceSide;
    NullModem modem(wedgeSide.masterFd(), deviceSide.masterFd());

    QtSerialPort port([&](std::int16_t) { return wedgeSide.slavePath(); }, QString());
    ASSERT_TRUE(port.setSettings(QStringLiteral("115200,N,8,1")));
    QtTimer timer;
    QLibraryLinkLibrary library(QStringLiteral("libwinvxbt.so"),
                                {QStringLiteral(WINVXBT_DIRECTORY)});
    auto backend = std::make_unique<RecordingBackend>();
    const auto typed = backend->record();
    SendKeys injector(std::move(backend));
    FakeTrayIcon tray;
    FakeMessageBoxes boxes;
    const SettingsValues settings{true, 0, 1};
    const FirstLaunchFlags flags;
    DataCollection collection({port, timer, library, injector, tray, boxes, settings, flags});
    ASSERT_TRUE(collection.dataCollectionStart(true));

    QStringList lines;
    for (int i = 1; i <= 9; ++i) {
        lines << QStringLiteral("message %1").arg(i);
    }
    lines << QString(700, u'x') << QString(1500, u'y'); // 3 and 5 fragments
    QProcess vxbt;
    vxbt.start(QStringLiteral(VXBT_EXECUTABLE),
               {"send", "--port", deviceSide.slavePath(), "--baud", "115200", "--retries", "10"});
    vxbt.write(lines.join(u'\n').toUtf8() + '\n');
    vxbt.closeWriteChannel();
    ASSERT_TRUE(processEventsUntil([&] { return vxbt.state() == QProcess::NotRunning; }, 30s));
    const QByteArray errors = vxbt.readAllStandardError();
    EXPECT_EQ(vxbt.exitCode(), 0) << errors.toStdString();
    EXPECT_EQ(vxbt.readAllStandardOutput().left(33), "sent 11 messages in 17 frames, al");

    const QString expected = lines.join(QString());
    EXPECT_TRUE(processEventsUntil([&] {
        injector.waitUntilTypedFor(10ms);
        return typed->text() == expected;
    })) << typed->text().toStdString();
    collection.dataCollectionStop();
}

} // namespace
} // namespace vxorv
