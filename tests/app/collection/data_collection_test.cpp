#include "collection/callback.hpp"
#include "collection/data_collection.hpp"
#include "fakes/fake_keystroke_injector.hpp"
#include "fakes/fake_link_library.hpp"
#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_serial_port.hpp"
#include "fakes/fake_timer.hpp"
#include "fakes/fake_tray_icon.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

using Picture = TrayIcon::Picture;
using namespace std::chrono_literals;

class DataCollectionTest : public ::testing::Test {
  protected:
    DataCollectionTest() {
        // The library answers a frame's last byte by replying through the
        // callback, as the real one does with automatic replies on.
        m_library.rxByte = [this](std::uint8_t byte) -> std::uint16_t {
            if (byte == 'K') {
                m_library.callback(0, 0x06);
            } else if (byte == 'N') {
                m_library.callback(0, 0x15);
                return VXBT_ERR_CRC;
            }
            return VXBT_OK;
        };
    }

    void useProtocol() { m_settings.VXBTSecurityMode = 1; }

    FakeSerialPort m_port;
    FakeTimer m_timer;
    FakeLinkLibrary m_library;
    FakeKeystrokeInjector m_injector;
    FakeTrayIcon m_tray;
    FakeMessageBoxes m_boxes;
    SettingsValues m_settings;
    FirstLaunchFlags m_flags;
    DataCollection m_collection{
        {m_port, m_timer, m_library, m_injector, m_tray, m_boxes, m_settings, m_flags}};
};

TEST_F(DataCollectionTest, FirstLaunchNotSetUpRefusesWhateverVerbose) {
    m_flags.ThisWasFirstLaunch = true;
    for (const bool verbose : {true, false}) {
        EXPECT_FALSE(m_collection.dataCollectionStart(verbose));
    }
    ASSERT_EQ(m_boxes.shown.size(), 2u);
    EXPECT_EQ(m_boxes.shown[0].text,
              "You must setup properties at least once before starting the application.");
    EXPECT_EQ(m_boxes.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_EQ(m_boxes.shown[0].buttons, MessageBoxes::Buttons::Ok);
    EXPECT_FALSE(m_port.PortOpen());
    EXPECT_TRUE(m_tray.updates.empty());
    EXPECT_TRUE(m_library.calls.isEmpty());

    m_flags.SettingsForFirstLaunchCoerrectlyPerformed = true;
    EXPECT_TRUE(m_collection.dataCollectionStart(false));
}

TEST_F(DataCollectionTest, ProtocolStartPreparesPortTimerAndChannel) {
    useProtocol();
    EXPECT_TRUE(m_collection.dataCollectionStart(true));
    EXPECT_TRUE(m_port.PortOpen());
    EXPECT_EQ(m_port.InputMode(), SerialPortComponent::InputModeBinary);
    EXPECT_EQ(m_port.InputLen(), 1);
    EXPECT_EQ(m_timer.interval(), 200ms);
    EXPECT_TRUE(m_timer.enabled());
    EXPECT_EQ(m_library.calls, QStringList{"init 0 4096 5 1 1"});
    EXPECT_EQ(m_library.callback, &serialTransmit);
    EXPECT_EQ(m_tray.picture(), Picture::imgStarted);
    EXPECT_EQ(m_tray.tip(), "Veltrix Orvex (started)");
    EXPECT_TRUE(m_collection.IsDataCollectionRunnning());
}

TEST_F(DataCollectionTest, PlainStartUsesTextModeAndNoLibrary) {
    m_timer.setInterval(1000ms);
    EXPECT_TRUE(m_collection.dataCollectionStart(true));
    EXPECT_TRUE(m_port.PortOpen());
    EXPECT_EQ(m_port.InputMode(), SerialPortComponent::InputModeText);
    EXPECT_EQ(m_port.InputLen(), 0);
    EXPECT_TRUE(m_library.calls.isEmpty());
    EXPECT_EQ(m_timer.interval(), 1000ms);
    EXPECT_FALSE(m_timer.enabled());
}

TEST_F(DataCollectionTest, PortFailureIsShownOnlyWhenVerbose) {
    useProtocol();
    m_port.openFailure = QStringLiteral("Cannot open serial port 1 (/dev/ttyS0): no such device.");
    EXPECT_FALSE(m_collection.dataCollectionStart(true));
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text, m_port.openFailure);
    EXPECT_EQ(m_boxes.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_EQ(m_tray.picture(), Picture::imgStopped);
    EXPECT_EQ(m_tray.tip(), "Veltrix Orvex (stopped)");

    EXPECT_FALSE(m_collection.dataCollectionStart(false));
    EXPECT_EQ(m_boxes.shown.size(), 1u);
}

TEST_F(DataCollectionTest, AFailedStartAtThePortLeavesChannelAndTimerForTheNextStart) {
    useProtocol();
    m_port.openFailure = QStringLiteral("busy");
    EXPECT_FALSE(m_collection.dataCollectionStart(false));
    EXPECT_FALSE(m_collection.IsDataCollectionRunnning());
    EXPECT_TRUE(m_timer.enabled());
    m_timer.tick(); // polls an empty queue
    EXPECT_TRUE(m_injector.sent.isEmpty());

    m_port.openFailure.clear();
    EXPECT_TRUE(m_collection.dataCollectionStart(false));
    m_collection.dataCollectionStop();
    EXPECT_EQ(m_library.calls, QStringList({"init 0 4096 5 1 1", "init 0 4096 5 1 1", "close 0"}));
}

TEST_F(DataCollectionTest, NoKeystrokeBackendFailsTheStartBeforeAnythingOpens) {
    useProtocol();
    m_injector.missing = QStringLiteral("No X display: set DISPLAY or enable uinput.");
    EXPECT_FALSE(m_collection.dataCollectionStart(true));
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text, m_injector.missing);
    EXPECT_FALSE(m_port.PortOpen());
    EXPECT_TRUE(m_library.calls.isEmpty());
    EXPECT_EQ(m_tray.picture(), Picture::imgStopped);
}

TEST_F(DataCollectionTest, MissingLibraryIsAStartFailure) {
    useProtocol();
    m_library.missing = QStringLiteral("Cannot load the link library libwinvxbt.so: not found");
    EXPECT_FALSE(m_collection.dataCollectionStart(true));
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text, m_library.missing);
    EXPECT_FALSE(m_port.PortOpen());
}

TEST_F(DataCollectionTest, StartingTwiceChangesNothingVisible) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    EXPECT_TRUE(m_collection.dataCollectionStart(true));
    EXPECT_TRUE(m_port.PortOpen());
    EXPECT_EQ(m_tray.picture(), Picture::imgStarted);
    EXPECT_TRUE(m_boxes.shown.empty());
}

TEST_F(DataCollectionTest, StopClosesChannelTimerAndPort) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_collection.dataCollectionStop();
    EXPECT_FALSE(m_timer.enabled());
    EXPECT_EQ(m_library.calls.last(), "close 0");
    EXPECT_FALSE(m_port.PortOpen());
    EXPECT_EQ(m_tray.picture(), Picture::imgStopped);
    EXPECT_EQ(m_tray.tip(), "Veltrix Orvex (stopped)");

    m_collection.dataCollectionStop(); // stopped already: only the icon is reset
    EXPECT_EQ(m_tray.updates.size(), 3u);
}

TEST_F(DataCollectionTest, EventsOtherThanReceiveReadNothing) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_port.receive(QByteArrayLiteral("ab"));
    const int reads = m_port.inputReads;
    for (const int event : {1, 3, 1001, 1004}) {
        m_port.raise(static_cast<std::int16_t>(event));
    }
    EXPECT_EQ(m_port.inputReads, reads);
}

TEST_F(DataCollectionTest, ProtocolEventFeedsEveryWaitingByteInOrder) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_port.receive(QByteArray("x\x02y", 3));
    EXPECT_EQ(m_port.inputReads, 3);
    EXPECT_EQ(m_library.calls.mid(1),
              QStringList({"rx_byte 0 120", "rx_byte 0 2", "rx_byte 0 121"}));
    EXPECT_TRUE(m_port.waiting().isEmpty());
}

TEST_F(DataCollectionTest, RepliesGoToThePortWithinTheEventAndAreTraced) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_port.receive(QByteArrayLiteral("aKbNK"));
    EXPECT_EQ(m_port.written, QByteArray("\x06\x15\x06"));
    const ReceiveTrace::Counts& counts = m_collection.trace().counts(0);
    EXPECT_EQ(counts.framesAccepted, 2u);
    EXPECT_EQ(counts.errors[VXBT_ERR_CRC], 1u);
    EXPECT_TRUE(m_injector.sent.isEmpty()); // typing waits for the tick
}

TEST_F(DataCollectionTest, TickTypesEveryQueuedMessageInOrder) {
    useProtocol();
    m_settings.ExtendedConversionMode = 1;
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_library.queued = {QByteArrayLiteral("1+1"), QByteArray("\x00z\x83", 3), QByteArray()};
    m_timer.tick();
    EXPECT_EQ(m_injector.sent, QStringList({"1{+}1", QString(QChar(u'\0')) + "z{ENTER}", ""}));
    EXPECT_TRUE(m_library.queued.empty());
    m_timer.tick();
    EXPECT_EQ(m_injector.sent.size(), 3);
}

TEST_F(DataCollectionTest, PlainPathTypesArrivingTextAtOnce) {
    m_settings.ExtendedConversionMode = 1;
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_port.receive(QByteArray("AB\x83", 3));
    EXPECT_EQ(m_injector.sent, QStringList{"AB{ENTER}"});
    EXPECT_EQ(m_port.inputReads, 1);
    EXPECT_TRUE(m_library.calls.isEmpty());
}

TEST_F(DataCollectionTest, AFullBacklogLeavesMessagesInTheLibrarysQueue) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_library.queued = {QByteArrayLiteral("a"), QByteArrayLiteral("b")};
    m_injector.roomLeft = 4096;
    m_timer.tick();
    EXPECT_EQ(m_injector.sent, QStringList{"a"}) << "only room for one of the longest messages";
    EXPECT_EQ(m_library.queued.size(), 1u);
    m_injector.roomLeft = 4096;
    m_timer.tick();
    EXPECT_EQ(m_injector.sent, QStringList({"a", "b"}));
}

TEST_F(DataCollectionTest, APlainPathWithAFullBacklogReadsOnlyWhatFitsAndPollsForTheRest) {
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_injector.roomLeft = 3;
    m_port.receive(QByteArrayLiteral("abcdefg"));
    EXPECT_EQ(m_injector.sent, QStringList{"abc"});
    EXPECT_TRUE(m_timer.enabled()) << "no new event comes for text already waiting";
    m_timer.tick();
    EXPECT_EQ(m_injector.sent.size(), 1) << "still no room";
    m_injector.roomLeft = 100;
    m_timer.tick();
    EXPECT_EQ(m_injector.sent, QStringList({"abc", "defg"}));
    EXPECT_FALSE(m_timer.enabled());
    EXPECT_EQ(m_port.InputLen(), 0);
}

TEST_F(DataCollectionTest, StopAndEndTypingDropTheBacklogAndEndingTakesNothingMore) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_collection.dataCollectionStop();
    EXPECT_EQ(m_injector.discards, 1);

    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_collection.endTyping();
    EXPECT_EQ(m_injector.discards, 2);
    m_library.queued = {QByteArrayLiteral("late")};
    m_timer.tick();
    EXPECT_TRUE(m_injector.sent.isEmpty());

    m_collection.dataCollectionStop();
    m_settings.VXBTSecurityMode = 0;
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_port.receive(QByteArrayLiteral("late"));
    EXPECT_TRUE(m_injector.sent.isEmpty());
    EXPECT_EQ(m_port.waiting(), "late");
}

TEST_F(DataCollectionTest, EventsFollowThePathThePortWasPreparedFor) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    m_settings.VXBTSecurityMode = 0; // changed in the dialog while collecting
    m_port.receive(QByteArrayLiteral("ab"));
    EXPECT_EQ(m_library.calls.size(), 3);
    EXPECT_TRUE(m_injector.sent.isEmpty());
}

TEST_F(DataCollectionTest, DeviceLostShowsStoppedAndTellsTheApplication) {
    useProtocol();
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    QString told;
    m_collection.setOnDeviceLost([&](const QString& description) { told = description; });
    m_port.loseDevice(QStringLiteral("gone"));
    EXPECT_EQ(told, "gone");
    EXPECT_FALSE(m_collection.IsDataCollectionRunnning());
    EXPECT_EQ(m_tray.picture(), Picture::imgStopped);
    // What was acknowledged is still typed.
    EXPECT_TRUE(m_timer.enabled());
    m_library.queued = {QByteArrayLiteral("late")};
    m_timer.tick();
    EXPECT_EQ(m_injector.sent, QStringList{"late"});
}

TEST_F(DataCollectionTest, SerialTransmitWritesOneByteOnlyWhileThePortIsOpen) {
    EXPECT_EQ(serialTransmit(0, 0x06), VXBT_ERR_NOT_CONNECTED);
    EXPECT_TRUE(m_port.written.isEmpty());
    ASSERT_TRUE(m_collection.dataCollectionStart(true));
    EXPECT_EQ(serialTransmit(6, 0x15), VXBT_OK);
    EXPECT_EQ(serialTransmit(200, 0x06), VXBT_OK);
    EXPECT_EQ(m_port.written, QByteArray("\x15\x06"));
}

} // namespace
} // namespace vxorv
