// The whole program under a real X server (xvfb-run) with trayer as the
// notification area: the real VXORV and its real link library, a
// pseudo-terminal as the remote device, and a sink window that records what
// is typed. Screenshots of each step are kept as artifacts.

#include "desktop.hpp"
#include "remote_device.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

// The program of this build, or an installed one (VXORV_E2E_PROGRAM=/usr/bin/VXORV).
const QString program = qEnvironmentVariableIsEmpty("VXORV_E2E_PROGRAM")
                            ? QStringLiteral(VXORV_PROGRAM)
                            : qEnvironmentVariable("VXORV_E2E_PROGRAM");
const QString settingsCaption = QStringLiteral("VX Orvex -  Properties");

class ShellEndToEnd : public testing::Test {
  protected:
    QTemporaryDir home;
    QString iniPath;
    std::unique_ptr<RemoteDevice> device;
    QProcess trayer;
    QProcess vxorv;
    TypingSink sink;

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        iniPath = home.filePath(QStringLiteral("VXORV/VXORV.ini"));
        device = std::make_unique<RemoteDevice>(home.filePath(QStringLiteral("scanner")));
        // Port 1 is the scanner; nothing else is configured: a first launch.
        QSettings ini(iniPath, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Ports/COM1"), home.filePath(QStringLiteral("scanner")));
        ini.sync();

        ASSERT_TRUE(startNotificationArea(trayer));
        ASSERT_TRUE(sink.showAndFocus());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        vxorv.setProcessEnvironment(environment);
        vxorv.setProcessChannelMode(QProcess::ForwardedChannels);
    }

    void TearDown() override {
        if (vxorv.state() != QProcess::NotRunning) {
            vxorv.kill();
            vxorv.waitForFinished();
        }
        trayer.kill();
        trayer.waitForFinished();
    }

    bool portOpen() { return processHasOpen(vxorv.processId(), device->slavePath()); }

    // Sends each message as a frame, expects ACK for each, and waits until
    // the sink shows all of them typed.
    void typeThrough(const QList<QByteArray>& messages, const QString& expected) {
        sink.clear();
        for (const QByteArray& message : messages) {
            EXPECT_EQ(device->sendMessage(message), 0x06) << message.constData();
        }
        sink.collect([&] { return sink.transcript().size() >= expected.size(); }, 300, 60000);
        EXPECT_EQ(sink.transcript(), expected);
    }

    QString iniValue(const QString& key) {
        return QSettings(iniPath, QSettings::IniFormat).value(key).toString();
    }
};

TEST_F(ShellEndToEnd, FirstLaunchCollectionDeviceLossTrayAndTermination) {
    vxorv.start(program, {});
    ASSERT_TRUE(vxorv.waitForStarted());

    SCOPED_TRACE("the first launch shows the properties dialog");
    ASSERT_TRUE(waitFor([] { return !windowsNamed(settingsCaption).isEmpty(); }));
    const QString dialog = windowsNamed(settingsCaption).first();
    waitFor([] { return false; }, 500ms);
    saveArtifact(QStringLiteral("1-first-launch-dialog.png"));
    EXPECT_FALSE(iniValue(QStringLiteral("FirstRun/When")).size()) << "nothing saved yet";

    SCOPED_TRACE("OK with the link protocol enabled saves and auto-starts");
    // The focus starts in the baud rate list; the security list is ten stops on.
    QStringList keys{QStringLiteral("key"), QStringLiteral("--window"), dialog};
    for (int i = 0; i < 10; ++i) {
        keys << QStringLiteral("Tab");
    }
    keys << QStringLiteral("Down");
    xdotool(keys);
    waitFor([] { return false; }, 300ms);
    saveArtifact(QStringLiteral("2-dialog-protocol-enabled.png"));
    xdotool({QStringLiteral("key"), QStringLiteral("--window"), dialog, QStringLiteral("alt+o")});
    ASSERT_TRUE(waitFor([] { return windowsNamed(settingsCaption).isEmpty(); }));
    ASSERT_TRUE(waitFor([this] { return portOpen(); }));
    EXPECT_EQ(iniValue(QStringLiteral("FirstRun/When")), QStringLiteral("OK"));
    EXPECT_EQ(iniValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity")), QStringLiteral("1"));
    ASSERT_TRUE(takeFocus(sink));

    SCOPED_TRACE("framed messages are acknowledged and typed exactly");
    typeThrough({QByteArray("Hello, scanner!\r"), QByteArray("4006381333931\r"),
                 QByteArray("{braces} + ^carets~ %100\t(done)\r")},
                QStringLiteral("Hello, scanner!{ENTER}4006381333931{ENTER}{braces} + ^carets~ "
                               "%100{TAB}(done){ENTER}"));

    SCOPED_TRACE("the tray icon and its menu");
    sink.hide(); // it covers the whole screen, the notification area included
    waitFor([] { return false; }, 300ms);
    const QStringList icons = visibleWindows(QStringLiteral("VXORV"));
    ASSERT_EQ(icons.size(), 1) << "only the icon is visible: the main window is hidden";
    const QRect icon = windowGeometry(icons.first());
    EXPECT_EQ(icon.size(), QSize(22, 22));
    xdotool({QStringLiteral("mousemove"), QString::number(icon.center().x()),
             QString::number(icon.center().y())});
    ASSERT_TRUE(waitFor([] { return visibleWindows(QStringLiteral("VXORV")).size() > 1; }));
    // The tip is the program's window that is not the icon. Drawn by the same
    // Qt with the same style and fonts, it must equal this process's tooltip
    // once the program has painted it, which a loaded machine does late.
    const QImage started = tooltipPicture(QStringLiteral("Veltrix Orvex (started)"));
    QImage tip;
    waitFor([&] {
        for (const QString& window : visibleWindows(QStringLiteral("VXORV"))) {
            if (windowGeometry(window) != icon) {
                tip = grabScreen().copy(windowGeometry(window));
            }
        }
        return tip == started;
    });
    saveArtifact(QStringLiteral("3-tray-tip-started.png"));
    EXPECT_EQ(tip, started);
    EXPECT_NE(tip, tooltipPicture(QStringLiteral("Veltrix Orvex (stopped)")));
    QRect menu;
    QString menuWindow;
    const auto menuShown = [&] {
        for (const QString& window : visibleWindows(QStringLiteral("VXORV"))) {
            menu = windowGeometry(window);
            if (menu.height() > 80) {
                menuWindow = window;
                return true;
            }
        }
        return false;
    };
    // A click the loaded desktop lost is made again.
    for (int attempt = 0; attempt < 3 && !menuShown(); ++attempt) {
        xdotool({QStringLiteral("click"), QStringLiteral("3")});
        waitFor(menuShown, 20s);
    }
    ASSERT_TRUE(menuShown());
    // Painted late on a loaded machine: until then it shows no lines at all.
    std::vector<int> darkness;
    waitFor([&] {
        darkness = menuTextDarkness(grabScreen().copy(menu));
        return darkness.size() == 5;
    });
    saveArtifact(QStringLiteral("4-tray-menu-collecting.png"));
    ASSERT_EQ(darkness.size(), 5u) << "Start, Stop, Properties, About, Exit";
    EXPECT_GT(darkness[0], 100) << "Start is disabled while collecting";
    for (std::size_t item = 1; item < 5; ++item) {
        EXPECT_LT(darkness[item], 100) << "item " << item << " is enabled";
    }
    // Straight to the menu: its keyboard grab may not have taken effect yet.
    xdotool(
        {QStringLiteral("key"), QStringLiteral("--window"), menuWindow, QStringLiteral("Escape")});
    ASSERT_TRUE(waitFor([] { return visibleWindows(QStringLiteral("VXORV")).size() == 1; }));
    ASSERT_TRUE(takeFocus(sink));

    SCOPED_TRACE("the device vanishes and returns: typing resumes by itself");
    device->vanish();
    const bool closed = waitFor([this] { return !portOpen(); });
    saveArtifact(QStringLiteral("5-device-vanished.png"));
    ASSERT_TRUE(closed);
    waitFor([] { return false; }, 1s);
    device->reappear();
    ASSERT_TRUE(waitFor([this] { return portOpen(); })) << "the retry reopens the port";
    typeThrough({QByteArray("back again\r")}, QStringLiteral("back again{ENTER}"));

    SCOPED_TRACE("SIGTERM saves the settings and ends the program");
    QSettings(iniPath, QSettings::IniFormat).remove(QStringLiteral("PROPERTIES"));
    ::kill(static_cast<pid_t>(vxorv.processId()), SIGTERM);
    ASSERT_TRUE(vxorv.waitForFinished(30000));
    EXPECT_EQ(vxorv.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vxorv.exitCode(), 0);
    EXPECT_EQ(iniValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity")), QStringLiteral("1"));
    EXPECT_EQ(iniValue(QStringLiteral("PROPERTIES/AutoStart")), QStringLiteral("1"));
    // The server removes a client's windows once it has seen the connection close.
    EXPECT_TRUE(waitFor([] { return visibleWindows(QStringLiteral("VXORV")).isEmpty(); }))
        << "the icon is gone";
}

TEST_F(ShellEndToEnd, UnusableValueIsNamedAndSigtermWithAFailedSaveDoesNotWaitForABox) {
    // Configured before: port 3 with the link protocol, one value unusable.
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.remove(QStringLiteral("Ports/COM1"));
    ini.setValue(QStringLiteral("Ports/COM3"), home.filePath(QStringLiteral("scanner")));
    ini.setValue(QStringLiteral("FirstRun/When"), QStringLiteral("OK"));
    ini.setValue(QStringLiteral("PROPERTIES/ExtendedConversion"), QStringLiteral("abc"));
    ini.setValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity"), QStringLiteral("1"));
    ini.setValue(QStringLiteral("PROPERTIES/MSCOMMCommPort"), QStringLiteral("3"));
    ini.sync();
    vxorv.setProcessChannelMode(QProcess::SeparateChannels);
    vxorv.start(program, {});
    ASSERT_TRUE(vxorv.waitForStarted());

    SCOPED_TRACE("the stored port opens and the unusable value is named in a box");
    ASSERT_TRUE(waitFor([this] { return portOpen(); }));
    ASSERT_TRUE(waitFor([] { return !windowsNamed(QStringLiteral("VX Orvex")).isEmpty(); }));
    saveArtifact(QStringLiteral("8-unusable-setting.png"));
    EXPECT_EQ(device->sendMessage(QByteArray("x\r")), 0x06) << "the link protocol is on";

    SCOPED_TRACE("SIGTERM while the settings cannot be written ends the program at once");
    ASSERT_TRUE(QFile::remove(iniPath));
    ASSERT_TRUE(QDir().mkpath(iniPath));
    ::kill(static_cast<pid_t>(vxorv.processId()), SIGTERM);
    ASSERT_TRUE(vxorv.waitForFinished(30000)) << "no box may hold the process";
    EXPECT_EQ(vxorv.exitCode(), 1);
    const QString errors = QString::fromLocal8Bit(vxorv.readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("ExtendedConversion = \"abc\"")))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("The settings could not be saved")));
    EXPECT_TRUE(errors.contains(QStringLiteral("refers to a directory")));
}

TEST_F(ShellEndToEnd, ASecondStartShowsTheRunningCopyAndEndsAndAKilledCopyBlocksNothing) {
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.setValue(QStringLiteral("FirstRun/When"), QStringLiteral("OK"));
    ini.setValue(QStringLiteral("PROPERTIES/AutoStart"), QStringLiteral("0"));
    ini.sync();
    const auto iconShown = [] { return visibleWindows(QStringLiteral("VXORV")).size() == 1; };
    vxorv.start(program, {});
    ASSERT_TRUE(waitFor(iconShown));
    ASSERT_TRUE(windowsNamed(QStringLiteral("VX Orvex")).isEmpty()) << "the main window is hidden";

    SCOPED_TRACE("a second start brings the main window up and ends");
    QProcess second;
    second.setProcessEnvironment(vxorv.processEnvironment());
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(waitFor([] { return !windowsNamed(QStringLiteral("VX Orvex")).isEmpty(); }));
    saveArtifact(QStringLiteral("9-second-start.png"));
    EXPECT_EQ(vxorv.state(), QProcess::Running);
    EXPECT_EQ(visibleWindows(QStringLiteral("VXORV")).size(), 2) << "one icon, one main window";

    SCOPED_TRACE("a copy killed outright leaves nothing that stops the next start");
    vxorv.kill();
    ASSERT_TRUE(vxorv.waitForFinished());
    ASSERT_TRUE(waitFor([] { return visibleWindows(QStringLiteral("VXORV")).isEmpty(); }));
    vxorv.start(program, {});
    ASSERT_TRUE(waitFor(iconShown));
    EXPECT_EQ(vxorv.state(), QProcess::Running);
}

TEST_F(ShellEndToEnd, MissingLibraryIsReportedAndEndsWithFailure) {
    // A copy of the program without the library beside it, and no install.
    QTemporaryDir lonely;
    const QString copy = lonely.filePath(QStringLiteral("VXORV"));
    ASSERT_TRUE(QFile::copy(program, copy));
    vxorv.start(copy, {});
    ASSERT_TRUE(waitFor([] { return !windowsNamed(QStringLiteral("VX Orvex")).isEmpty(); }));
    saveArtifact(QStringLiteral("7-missing-library.png"));
    xdotool({QStringLiteral("key"), QStringLiteral("--window"),
             windowsNamed(QStringLiteral("VX Orvex")).first(), QStringLiteral("Return")});
    ASSERT_TRUE(vxorv.waitForFinished(30000));
    EXPECT_EQ(vxorv.exitCode(), 1);
    EXPECT_FALSE(QFile::exists(iniPath) && !iniValue(QStringLiteral("FirstRun/When")).isEmpty());
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
