#include "shell/shell.hpp"

#include "fake_shell_windows.hpp"
#include "fakes/fake_keystroke_injector.hpp"
#include "fakes/fake_link_library.hpp"
#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_serial_port.hpp"
#include "fakes/fake_settings_store.hpp"
#include "fakes/fake_timer.hpp"
#include "fakes/fake_tray_icon.hpp"
#include "settings/dialog/properties_lists.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

using namespace std::chrono_literals;
using Picture = TrayIcon::Picture;

const QString stoppedAtStartUp = QStringLiteral("Veltrix Orvex (stopped) ");
const QString stopped = QStringLiteral("Veltrix Orvex (stopped)");
const QString started = QStringLiteral("Veltrix Orvex (started)");
const QString refusal =
    QStringLiteral("You must setup properties at least once before starting the application.");

// Collects what is written to the trace (standard error) while it lives.
class TraceCapture {
  public:
    TraceCapture() : m_previous(qInstallMessageHandler(&TraceCapture::collect)) {
        s_lines = &m_lines;
    }
    ~TraceCapture() {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    QString text() const { return m_lines.join(u'\n'); }

  private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& message) {
        s_lines->append(message);
    }
    static inline QStringList* s_lines = nullptr;
    QStringList m_lines;
    QtMessageHandler m_previous;
};

class ShellTest : public testing::Test {
  protected:
    FakeSettingsStore store;
    SettingsValues settings;
    FirstLaunchFlags flags;
    FakeSerialPort port;
    FakeTimer polling;
    FakeTimer retry;
    FakeLinkLibrary library;
    FakeKeystrokeInjector injector;
    FakeTrayIcon tray;
    FakeMessageBoxes boxes;
    FakeShellWindows windows;
    DataCollection collection{{port, polling, library, injector, tray, boxes, settings, flags}};
    Shell shell{{store, settings, flags, port, collection, library, tray, boxes, retry, windows,
                 [](std::int16_t n) { return QStringLiteral("/dev/scanner%1").arg(n); },
                 QStringLiteral("XTest")},
                {2, 0, 3}};

    void configuredBefore(bool autoStart) {
        store.values[QStringLiteral("FirstRun/When")] = QStringLiteral("OK");
        store.values[QStringLiteral("PROPERTIES/AutoStart")] =
            autoStart ? QStringLiteral("1") : QStringLiteral("0");
    }
    void userConfirms() {
        windows.userInModalDialog = [this] { propertiesAccepted(flags); };
    }
    void userCancels() {
        windows.userInModalDialog = [this] { propertiesCancelled(flags); };
    }
    bool retryArmed() const { return retry.enabled() && retry.interval() == 5000ms; }
    QStringList texts() const {
        QStringList result;
        for (const auto& box : boxes.shown) {
            result << box.text;
        }
        return result;
    }
};

TEST_F(ShellTest, FirstLaunchConfirmedSavesStartsSilentlyAndHides) {
    userConfirms();
    windows.userInModalDialog = [this] {
        EXPECT_TRUE(settings.AutoStartEnabled); // the dialog shows auto start checked
        EXPECT_TRUE(tray.updates.empty());      // no icon during the dialog
        propertiesAccepted(flags);
    };
    shell.startUp();

    EXPECT_EQ(windows.modalShown, 1);
    EXPECT_TRUE(flags.ThisWasFirstLaunch);
    EXPECT_TRUE(flags.SettingsForFirstLaunchCoerrectlyPerformed);
    EXPECT_EQ(store.values.value(QStringLiteral("FirstRun/When")), QStringLiteral("OK"));
    ASSERT_EQ(tray.updates.size(), 2u);
    EXPECT_EQ(tray.updates[0], std::pair(Picture::imgStopped, stoppedAtStartUp));
    EXPECT_EQ(tray.updates[1], std::pair(Picture::imgStarted, started));
    EXPECT_TRUE(port.PortOpen());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(retry.enabled());
    EXPECT_EQ(windows.mainHidden, 1);
    EXPECT_FALSE(shell.ended());
}

TEST_F(ShellTest, FirstLaunchSaveThatFailsIsReportedAndStartUpGoesOn) {
    userConfirms();
    store.refuseWrites = true;
    shell.startUp();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("disk full")));
    EXPECT_EQ(tray.updates.front(), std::pair(Picture::imgStopped, stoppedAtStartUp));
    EXPECT_FALSE(shell.ended());
}

TEST_F(ShellTest, FailedFirstAutoStartSaysWhyOnceThenRetriesEvery5000msSilently) {
    userConfirms();
    port.openFailure = QStringLiteral("no such device");
    shell.startUp();
    EXPECT_EQ(texts(), QStringList{"no such device"}) << "the user just pressed OK: say why";
    EXPECT_EQ(tray.picture(), Picture::imgStopped);
    EXPECT_TRUE(retryArmed());

    retry.tick();
    retry.tick();
    EXPECT_EQ(boxes.shown.size(), 1u) << "the retries are silent";
    EXPECT_TRUE(retryArmed());

    port.openFailure.clear();
    retry.tick();
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(tray.tip(), started);
    EXPECT_FALSE(retry.enabled());
}

TEST_F(ShellTest, RetryWaitsWhileThePropertiesDialogIsVisible) {
    configuredBefore(true);
    port.openFailure = QStringLiteral("busy");
    shell.startUp();
    port.openFailure.clear();

    windows.propertiesVisible = true;
    retry.tick();
    EXPECT_FALSE(port.PortOpen());
    EXPECT_TRUE(retryArmed());

    windows.propertiesVisible = false;
    retry.tick();
    EXPECT_TRUE(port.PortOpen());
    EXPECT_FALSE(retry.enabled());
}

TEST_F(ShellTest, ManualStartAndStopLeaveTheAutoStartRetryArmed) {
    configuredBefore(true);
    port.openFailure = QStringLiteral("busy");
    shell.startUp();
    port.openFailure.clear();

    shell.startCommand();
    shell.stopCommand();
    EXPECT_TRUE(retryArmed());
    retry.tick();
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(ShellTest, FirstLaunchCancelledStartsNothingRefusesStartAndSavesNothing) {
    userCancels();
    shell.startUp();

    EXPECT_FALSE(flags.SettingsForFirstLaunchCoerrectlyPerformed);
    EXPECT_EQ(tray.updates.back(), std::pair(Picture::imgStopped, stoppedAtStartUp));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_FALSE(retry.enabled());

    shell.startCommand();
    EXPECT_EQ(texts(), QStringList{refusal});
    EXPECT_FALSE(port.PortOpen());

    shell.applicationExit();
    EXPECT_TRUE(store.writes.isEmpty()) << "the next launch is again a first launch";
    EXPECT_EQ(tray.removals, 1);
    EXPECT_EQ(windows.endStatus, 0);
}

TEST_F(ShellTest, FirstLaunchCancelledThenConfirmedLaterAllowsStartAndSavesAtExit) {
    userCancels();
    shell.startUp();

    shell.propertiesOpen();
    EXPECT_EQ(windows.modelessShown, 1);
    propertiesAccepted(flags); // OK in the modeless dialog
    windows.propertiesVisible = false;

    shell.startCommand();
    EXPECT_TRUE(port.PortOpen());
    EXPECT_TRUE(boxes.shown.empty());

    shell.applicationExit();
    EXPECT_EQ(store.values.value(QStringLiteral("FirstRun/When")), QStringLiteral("OK"));
    EXPECT_EQ(store.writes.size(), 7);
}

TEST_F(ShellTest, LaterLaunchStartsOnlyWithAutoStart) {
    configuredBefore(false);
    shell.startUp();
    EXPECT_EQ(windows.modalShown, 0);
    EXPECT_FALSE(flags.ThisWasFirstLaunch);
    EXPECT_EQ(tray.updates, (std::vector{std::pair(Picture::imgStopped, stoppedAtStartUp)}));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_FALSE(retry.enabled());
    EXPECT_TRUE(store.writes.isEmpty());
}

TEST_F(ShellTest, LaterLaunchLoadsTheStoredPortBeforeStarting) {
    configuredBefore(true);
    store.values[QStringLiteral("PROPERTIES/MSCOMMCommPort")] = QStringLiteral("7");
    store.values[QStringLiteral("PROPERTIES/VXBlueToothSecurity")] = QStringLiteral("1");
    shell.startUp();
    EXPECT_EQ(port.CommPort(), 7);
    EXPECT_TRUE(port.PortOpen());
    EXPECT_TRUE(library.calls.contains(QStringLiteral("init 0 4096 5 1 1")));
}

TEST_F(ShellTest, VersionLabelShowsBothVersionsWithoutPadding) {
    configuredBefore(false);
    shell.startUp();
    EXPECT_EQ(windows.versionText, QStringLiteral("Version: 2.0.3 - WinVXBT.dll version: 2.0.0"));
    EXPECT_EQ(versionLabelText({12, 0, 30}, 255, 7, 0),
              QStringLiteral("Version: 12.0.30 - WinVXBT.dll version: 255.7.0"));
}

TEST_F(ShellTest, MissingLibraryEndsStartUpWithItsReasonAndAFailureStatus) {
    library.missing = QStringLiteral("Cannot load the link library libwinvxbt.so: not found");
    shell.startUp();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, library.missing);
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Critical);
    EXPECT_EQ(windows.endStatus, 1);
    EXPECT_TRUE(shell.ended());
    EXPECT_EQ(windows.modalShown, 0);
    EXPECT_TRUE(tray.updates.empty());
}

TEST_F(ShellTest, PropertiesWhileCollectingAsksFirst) {
    configuredBefore(true);
    shell.startUp();
    ASSERT_TRUE(port.PortOpen());

    boxes.answer = MessageBoxes::Answer::No;
    shell.propertiesOpen();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Before entering the communication settings dialog the data "
                             "collection must be stopped. Do really you want to stop the data "
                             "collection and enter the communication settings dilog?"));
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Information);
    EXPECT_EQ(boxes.shown[0].buttons, MessageBoxes::Buttons::YesNo);
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(windows.modalShown + windows.modelessShown, 0);

    boxes.answer = MessageBoxes::Answer::Yes;
    shell.propertiesOpen();
    EXPECT_EQ(windows.modalShown, 1);
    EXPECT_FALSE(port.PortOpen()) << "collection stays stopped after the dialog";
    EXPECT_EQ(tray.tip(), stopped);
}

TEST_F(ShellTest, PropertiesWhileStoppedOpensModelessWithoutAsking) {
    configuredBefore(false);
    shell.startUp();
    shell.propertiesOpen();
    EXPECT_EQ(windows.modelessShown, 1);
    EXPECT_TRUE(boxes.shown.empty());
    shell.startCommand(); // the main window's Start still works
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(ShellTest, PopupMenuEnablesStartOrStopByTheStateOfTheMoment) {
    configuredBefore(false);
    shell.startUp();
    auto state = [this] {
        const PopupMenuState s = shell.popupMenuState();
        return std::pair(s.startEnabled, s.stopEnabled);
    };
    EXPECT_EQ(state(), std::pair(true, false));
    shell.startCommand();
    EXPECT_EQ(state(), std::pair(false, true));
    windows.propertiesVisible = true;
    EXPECT_EQ(state(), std::pair(false, false));
}

TEST_F(ShellTest, ExitWhileCollectingSavesWithoutStopping) {
    configuredBefore(true);
    shell.startUp();
    store.writes.clear();

    shell.applicationExit();
    shell.applicationExit(); // a second request (SIGTERM after Exit) does nothing more
    EXPECT_EQ(tray.removals, 1);
    EXPECT_EQ(store.writes.size(), 7);
    EXPECT_TRUE(port.PortOpen()) << "no stop procedure runs";
    EXPECT_EQ(injector.discards, 1) << "but typing ends";
    EXPECT_EQ(windows.endStatus, 0);
    EXPECT_TRUE(shell.ended());
}

TEST_F(ShellTest, FailedSaveAtExitIsReportedWithItsReason) {
    configuredBefore(false);
    shell.startUp();
    ASSERT_TRUE(port.setCommPort(4)); // OK in the dialog
    store.refuseWrites = true;
    shell.applicationExit();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("disk full")));
    EXPECT_TRUE(
        boxes.shown[0].text.contains(QStringLiteral("changes made in this session are lost")));
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Critical);
    EXPECT_EQ(windows.endStatus, 1);
}

TEST_F(ShellTest, FailedSaveClaimsNoLossWhenNothingChangedInTheSession) {
    configuredBefore(false); // most values only read as their defaults
    shell.startUp();
    store.refuseWrites = true;
    shell.applicationExit();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(boxes.shown[0].text.contains(QStringLiteral("are lost")))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("nothing is lost")));
}

TEST_F(ShellTest, AFirstSetupThatWasNeverSavedIsLostAtAFailedExit) {
    userConfirms();
    store.refuseWrites = true;
    shell.startUp();
    shell.applicationExit();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(
        boxes.shown[1].text.contains(QStringLiteral("changes made in this session are lost")))
        << boxes.shown[1].text.toStdString();
}

TEST_F(ShellTest, UnattendedExitWritesAFailedSaveToTheTraceInsteadOfABox) {
    configuredBefore(false);
    shell.startUp();
    store.refuseWrites = true;
    const TraceCapture trace;
    shell.applicationExit(ExitRequest::Unattended);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(trace.text().contains(QStringLiteral("could not be saved")))
        << trace.text().toStdString();
    EXPECT_TRUE(trace.text().contains(QStringLiteral("disk full")));
    EXPECT_EQ(windows.endStatus, 1);
}

TEST_F(ShellTest, UnattendedExitEndsTheProgramWhileTheExitBoxIsOpen) {
    configuredBefore(false);
    shell.startUp();
    store.refuseWrites = true;
    boxes.whileShown = [this] {
        shell.applicationExit(ExitRequest::Unattended); // log-out while the box waits
        EXPECT_EQ(windows.endStatus, 1);
    };
    shell.applicationExit();
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(store.writes.size(), 7) << "saved once";
}

TEST_F(ShellTest, UnusableStoredValuesAreNamedOnceAndTheOthersLoad) {
    configuredBefore(true);
    store.values[QStringLiteral("PROPERTIES/ExtendedConversion")] = QStringLiteral("abc");
    store.values[QStringLiteral("PROPERTIES/VXBlueToothSecurity")] = QStringLiteral("1");
    store.values[QStringLiteral("PROPERTIES/MSCOMMCommPort")] = QStringLiteral("3");
    boxes.whileShown = [this] { EXPECT_TRUE(port.PortOpen()) << "collection runs meanwhile"; };
    const TraceCapture trace;
    shell.startUp();

    EXPECT_EQ(port.CommPort(), 3);
    EXPECT_TRUE(library.calls.contains(QStringLiteral("init 0 4096 5 1 1")));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("ExtendedConversion = \"abc\"")));
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_TRUE(trace.text().contains(QStringLiteral("ExtendedConversion")));
}

TEST_F(ShellTest, AnUnreadableStoreIsReportedBeforeTheFirstLaunchDialog) {
    store.readable = Status::failure(QStringLiteral("The settings file could not be read."));
    windows.userInModalDialog = [this] {
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(
            boxes.shown[0].text.startsWith(QStringLiteral("The settings file could not be read.")));
    };
    shell.startUp();
    EXPECT_EQ(windows.modalShown, 1);
}

TEST_F(ShellTest, EndingWhileTheUnreadableStoreIsReportedSavesNothingOverIt) {
    store.readable = Status::failure(QStringLiteral("The settings file could not be read."));
    boxes.whileShown = [this] { shell.applicationExit(ExitRequest::Unattended); };
    shell.startUp();
    EXPECT_TRUE(store.writes.isEmpty());
    EXPECT_EQ(windows.modalShown, 0);
    EXPECT_TRUE(tray.updates.empty());
}

TEST_F(ShellTest, ExitDuringTheFirstLaunchDialogEndsStartUp) {
    windows.userInModalDialog = [this] { shell.applicationExit(); };
    shell.startUp();
    EXPECT_TRUE(shell.ended());
    EXPECT_TRUE(store.writes.isEmpty());
    EXPECT_TRUE(tray.updates.empty()) << "start-up does not go on after the exit";
    EXPECT_EQ(windows.mainHidden, 0);
}

TEST_F(ShellTest, VanishedDeviceResumesByItselfWhenItReturns) {
    configuredBefore(true);
    shell.startUp();
    ASSERT_TRUE(port.PortOpen());

    port.loseDevice(QStringLiteral("device removed"));
    EXPECT_EQ(tray.tip(), stopped);
    EXPECT_TRUE(retryArmed());

    port.openFailure = QStringLiteral("no such device");
    retry.tick();
    EXPECT_TRUE(retryArmed());
    EXPECT_TRUE(boxes.shown.empty());

    port.openFailure.clear();
    retry.tick();
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(tray.tip(), started);
    EXPECT_FALSE(retry.enabled());
}

TEST_F(ShellTest, StopAfterAVanishedDeviceEndsTheRetry) {
    configuredBefore(true);
    shell.startUp();
    port.loseDevice(QStringLiteral("device removed"));
    shell.stopCommand();
    EXPECT_FALSE(retry.enabled());
}

TEST_F(ShellTest, WithoutANotificationAreaTheWindowIsMinimisedNotHidden) {
    configuredBefore(false);
    windows.trayAvailable = false;
    shell.startUp();
    shell.hideCommand();
    EXPECT_EQ(windows.mainHidden, 0);
    EXPECT_EQ(windows.mainMinimized, 2);
}

TEST_F(ShellTest, LaterFailedAutoStartIsSilent) {
    configuredBefore(true);
    port.openFailure = QStringLiteral("no such device");
    shell.startUp();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(retryArmed());
}

TEST_F(ShellTest, StatusLineFollowsCollectionWithItsDeviceReasonAndRetry) {
    configuredBefore(true);
    port.openFailure = QStringLiteral("Cannot open serial port 1 (/dev/scanner1): no such device.");
    shell.startUp();
    EXPECT_EQ(windows.statusText,
              "Stopped, retrying every 5 s. Typing through XTest. Cannot open serial port 1 "
              "(/dev/scanner1): no such device.");

    port.openFailure.clear();
    retry.tick();
    EXPECT_EQ(windows.statusText, "Collecting on port 1, /dev/scanner1. Typing through XTest.");

    port.loseDevice(QStringLiteral("The device is gone."));
    EXPECT_EQ(windows.statusText,
              "Stopped, retrying every 5 s. Typing through XTest. The device is gone.");

    shell.stopCommand();
    EXPECT_EQ(windows.statusText, "Stopped. Typing through XTest.") << "the user stopped";

    port.openFailure = QStringLiteral("busy");
    shell.startCommand();
    EXPECT_EQ(windows.statusText, "Stopped. Typing through XTest. busy") << "no retry after Start";
}

TEST(StatusLine, SaysWhenNothingCanType) {
    EXPECT_EQ(statusLineText({.running = false, .stopReason = "No way to type keystrokes."}),
              "Stopped. Nothing can type keys here. No way to type keystrokes.");
}

} // namespace
} // namespace vxorv
