// When VXORV types and when it must not: never into its own windows and
// menus, and not after Stop, Exit or SIGTERM, whatever is still waiting to be
// typed. The real program on its own X server with trayer as the notification
// area, a pseudo-terminal as the remote device and a sink window as the
// application the user types into.

#include "desktop.hpp"
#include "remote_device.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

// Letters and, every 26th character, an é, which the US layout lacks: typing
// it borrows a keycode, which the program gives back before it ends.
QByteArray deviceText(qsizetype size) {
    QByteArray text(size, 'x');
    for (qsizetype i = 0; i < size; ++i) {
        text[i] = static_cast<char>(i % 26 == 25 ? '\xe9' : 'a' + i % 26);
    }
    return text;
}

// Whether `typed` is the start of the device's endless text.
bool isDeviceTextPrefix(const QString& typed) {
    return typed.toLatin1() == deviceText(typed.size());
}

// The device sends its text for as long as it is fed, faster than anything
// can type it: there is text still to type however fast the machine is.
void feedText(RemoteDevice& device, const std::stop_token& stop) {
    const QByteArray text = deviceText(26 * 256);
    qsizetype at = 0;
    while (!stop.stop_requested()) {
        const qsizetype sent = device.offer(QByteArrayView(text).sliced(at), 50ms);
        at = (at + sent) % text.size();
        if (sent == 0) {
            std::this_thread::sleep_for(20ms); // the port is closed or full
        }
    }
}

class TypingControlEndToEnd : public testing::Test {
  protected:
    QTemporaryDir home;
    std::unique_ptr<RemoteDevice> device;
    QProcess trayer;
    QProcess vxorv;
    TypingSink sink;
    std::jthread feeder; // stops before the device goes

    void startFeeding() {
        feeder = std::jthread([this](const std::stop_token& stop) { feedText(*device, stop); });
    }

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        device = std::make_unique<RemoteDevice>(home.filePath(QStringLiteral("scanner")));
        ASSERT_TRUE(startNotificationArea(trayer));
    }

    void TearDown() override {
        if (vxorv.state() != QProcess::NotRunning) {
            vxorv.kill();
            vxorv.waitForFinished();
        }
        trayer.kill();
        trayer.waitForFinished();
    }

    // A user who set VXORV up before: collection starts by itself.
    void startVxorv(bool protocol) {
        QSettings ini(home.filePath(QStringLiteral("VXORV/VXORV.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("PROPERTIES/AutoStart"), 1);
        ini.setValue(QStringLiteral("PROPERTIES/ExtendedConversion"), 0);
        ini.setValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity"), protocol ? 1 : 0);
        ini.setValue(QStringLiteral("PROPERTIES/MSCOMMSettings"), QStringLiteral("115200,N,8,1"));
        ini.setValue(QStringLiteral("PROPERTIES/MSCOMMCommPort"), 1);
        ini.setValue(QStringLiteral("PROPERTIES/MSCOMMHandshaking"), 0);
        ini.setValue(QStringLiteral("Ports/COM1"), home.filePath(QStringLiteral("scanner")));
        ini.setValue(QStringLiteral("FirstRun/When"), QStringLiteral("OK"));
        ini.sync();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        // The log says when typing is held and resumed.
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("vxorv.keys.debug=true"));
        vxorv.setProcessEnvironment(environment);
        vxorv.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        vxorv.setStandardErrorFile(logPath());
        vxorv.start(QStringLiteral(VXORV_PROGRAM), {});
        ASSERT_TRUE(vxorv.waitForStarted());
        ASSERT_TRUE(
            waitFor([this] { return processHasOpen(vxorv.processId(), device->slavePath()); }));
        ASSERT_TRUE(waitFor([] { return visibleWindows(QStringLiteral("VXORV")).size() == 1; }));
    }

    QString logPath() const { return home.filePath(QStringLiteral("vxorv.log")); }

    QString log() const {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Whether VXORV last said that typing is held (its focus watch has seen
    // the focus in a window of its own), not that it resumed.
    bool typingHeld() const {
        const QString text = log();
        return text.lastIndexOf(QStringLiteral("typing held")) >
               text.lastIndexOf(QStringLiteral("typing resumed"));
    }

    // The sink has the focus but leaves the notification area uncovered.
    void focusSink() {
        ASSERT_TRUE(takeFocus(sink));
        sink.setGeometry(0, 100, 640, 480);
        waitFor([] { return false; }, 300ms);
    }

    QRect trayIcon() {
        const QStringList icons = visibleWindows(QStringLiteral("VXORV"));
        return icons.isEmpty() ? QRect() : windowGeometry(icons.first());
    }

    void clickTrayIcon(const QString& button) {
        const QRect icon = trayIcon();
        xdotool({QStringLiteral("mousemove"), QString::number(icon.center().x()),
                 QString::number(icon.center().y())});
        xdotool({QStringLiteral("click"), button});
    }

    // The tray menu's window; empty while it is not shown.
    QString menuWindow() {
        for (const QString& window : visibleWindows(QStringLiteral("VXORV"))) {
            if (windowGeometry(window).height() > 80) {
                return window;
            }
        }
        return {};
    }

    bool menuOpen() { return !menuWindow().isEmpty(); }

    // Keys straight to the menu: until its keyboard grab has taken effect,
    // which a loaded desktop does late, typed keys would go to the sink.
    void keysToMenu(const QStringList& keys) {
        xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--window"), menuWindow()} +
                keys);
    }

    bool mainWindowFocused() {
        const QStringList main = windowsNamed(QStringLiteral("VX Orvex"));
        return !main.isEmpty() && xdotool({QStringLiteral("getwindowfocus")}) == main.first();
    }

    // A click the loaded desktop lost is made again.
    void focusMainWindow() {
        for (int attempt = 0; attempt < 3 && !mainWindowFocused(); ++attempt) {
            clickTrayIcon(QStringLiteral("1"));
            waitFor([this] { return mainWindowFocused(); }, 20s);
        }
        ASSERT_TRUE(mainWindowFocused());
    }

    // A click the loaded desktop lost is made again; one the program heard
    // (it holds typing before it shows the menu) is not, as a second click
    // would close the menu it opens late.
    void openMenu() {
        for (int attempt = 0; attempt < 3 && !menuOpen(); ++attempt) {
            if (!typingHeld()) {
                clickTrayIcon(QStringLiteral("3"));
            }
            waitFor([this] { return menuOpen(); }, 20s);
        }
        ASSERT_TRUE(menuOpen());
    }

    void settle(std::chrono::milliseconds time) {
        sink.collect([] { return false; }, 0, static_cast<int>(time.count()));
    }
};

TEST_F(TypingControlEndToEnd, NothingIsTypedIntoTheTrayMenuOrTheMainWindow) {
    startVxorv(true);
    focusSink();

    SCOPED_TRACE("with the tray menu open, a scan waits; E would have chosen Exit");
    openMenu();
    ASSERT_TRUE(typingHeld()) << "held before the menu shows";
    EXPECT_EQ(device->sendMessage("4006381333E\r"), 0x06);
    settle(1500ms);
    EXPECT_EQ(vxorv.state(), QProcess::Running);
    EXPECT_TRUE(menuOpen());
    EXPECT_EQ(sink.transcript(), "");
    keysToMenu({QStringLiteral("Escape")});
    sink.collect([this] { return sink.transcript().size() >= 18; }, 300, 60000);
    EXPECT_EQ(sink.transcript(), "4006381333E{ENTER}") << "typed once the focus is elsewhere";

    SCOPED_TRACE("with the main window focused, a scan waits");
    sink.clear();
    focusMainWindow();
    // The server gives the focus before the program hears of it: the scan
    // comes once the program holds typing, as a user scans after looking.
    ASSERT_TRUE(waitFor([this] { return typingHeld(); }));
    EXPECT_EQ(device->sendMessage("abc\r"), 0x06);
    settle(1500ms);
    EXPECT_EQ(sink.transcript(), "");
    focusSink();
    sink.collect([this] { return sink.transcript().size() >= 10; }, 300, 60000);
    EXPECT_EQ(sink.transcript(), "abc{ENTER}");
}

TEST_F(TypingControlEndToEnd, StopFromTheMenuDropsWhatIsNotYetTyped) {
    startVxorv(false);
    focusSink();
    startFeeding();
    ASSERT_TRUE(waitFor([this] { return !sink.transcript().isEmpty(); }));

    openMenu();
    // Start is disabled while collecting: the first item down is Stop.
    keysToMenu({QStringLiteral("Down"), QStringLiteral("Return")});
    ASSERT_TRUE(waitFor([this] { return !menuOpen(); }));
    // Once no key has come for a second, none may come any more.
    sink.collect([] { return true; }, 1000, 60000);
    const qsizetype typedWhenQuiet = sink.transcript().size();
    settle(2000ms);
    EXPECT_EQ(sink.transcript().size(), typedWhenQuiet);
    EXPECT_TRUE(isDeviceTextPrefix(sink.transcript()));
    // The menu held typing back, so the backlog was full when Stop came.
    EXPECT_TRUE(log().contains(QStringLiteral("key(s) not typed: typing was stopped")))
        << log().toStdString();
    EXPECT_FALSE(processHasOpen(vxorv.processId(), device->slavePath()));
}

TEST_F(TypingControlEndToEnd, SigtermEndsTheProgramAtOnceWithTextStillToType) {
    startVxorv(false);
    focusSink();
    startFeeding();
    ASSERT_TRUE(waitFor([this] { return sink.transcript().size() > 100; }));

    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(static_cast<pid_t>(vxorv.processId()), SIGTERM);
    // The bound only catches a hang: the log below tells whether the program
    // dropped what was waiting rather than typed it, whatever the machine's pace.
    while (vxorv.state() != QProcess::NotRunning && sinceSignal.elapsed() < 30000) {
        sink.collect([] { return false; }, 0, 20);
    }
    RecordProperty("ms_from_sigterm_to_exit", static_cast<int>(sinceSignal.elapsed()));
    ASSERT_EQ(vxorv.state(), QProcess::NotRunning) << "the program did not end";
    EXPECT_EQ(vxorv.exitCode(), 0);
    settle(500ms);
    EXPECT_TRUE(isDeviceTextPrefix(sink.transcript()));
    EXPECT_TRUE(log().contains(QStringLiteral("key(s) not typed: typing was stopped")))
        << log().toStdString();
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
