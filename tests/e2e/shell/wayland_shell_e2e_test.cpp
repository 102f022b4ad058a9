// The whole program in a Wayland session: the real VXORV on a headless sway
// (run through in_sway.sh), a pseudo-terminal as the remote device, and a
// native Wayland sink window that records what is typed.

#include "remote_device.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace vxorv::e2e {
namespace {

// The default only bounds a hang: a loaded desktop can take many seconds.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

TEST(WaylandShellEndToEnd, FramedMessagesAreTypedIntoANativeWaylandWindow) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    RemoteDevice device(home.filePath(QStringLiteral("scanner")));
    // Set up before: port 1 is the scanner, the link protocol is on and
    // collection starts by itself; the typing backend is left to the session.
    QSettings ini(home.filePath(QStringLiteral("VXORV/VXORV.ini")), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Ports/COM1"), home.filePath(QStringLiteral("scanner")));
    ini.setValue(QStringLiteral("FirstRun/When"), QStringLiteral("OK"));
    ini.setValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity"), QStringLiteral("1"));
    ini.sync();

    QProcess vxorv;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    vxorv.setProcessEnvironment(environment);
    vxorv.setProcessChannelMode(QProcess::ForwardedChannels);
    vxorv.start(QStringLiteral(VXORV_PROGRAM), {});
    ASSERT_TRUE(vxorv.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return processHasOpen(vxorv.processId(), device.slavePath()); }))
        << "collection started";

    // With no notification area here VXORV keeps its main window on the
    // screen. The sink appears after it, and after VXORV's keyboard, and so
    // takes the focus and the keyboard.
    ASSERT_TRUE(waitFor([] {
        QProcess swaymsg;
        swaymsg.start(QStringLiteral("swaymsg"),
                      {QStringLiteral("-t"), QStringLiteral("get_tree")});
        swaymsg.waitForFinished();
        return swaymsg.readAllStandardOutput().contains("\"app_id\": \"vxorv\"");
    })) << "VXORV's window did not appear";
    TypingSink sink;
    ASSERT_TRUE(sink.showAndFocus());
    const QList<QByteArray> messages{QByteArray("Hello, scanner!\r"),
                                     QByteArray("M\xfcller 12 \x80 \xe0 3\r"),
                                     QByteArray("{braces} + ^carets~ %100\t(done)\r")};
    const QString expected = QStringLiteral(
        "Hello, scanner!{ENTER}Müller 12 € à 3{ENTER}{braces} + ^carets~ %100{TAB}(done){ENTER}");
    for (int run = 0; run < 3; ++run) {
        sink.clear();
        for (const QByteArray& message : messages) {
            EXPECT_EQ(device.sendMessage(message), 0x06) << message.constData();
        }
        sink.collect([&] { return sink.transcript().size() >= expected.size(); }, 300, 60000);
        EXPECT_EQ(sink.transcript().toStdString(), expected.toStdString()) << "run " << run;
    }

    ::kill(static_cast<pid_t>(vxorv.processId()), SIGTERM);
    ASSERT_TRUE(vxorv.waitForFinished(30000));
    EXPECT_EQ(vxorv.exitCode(), 0);
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
