// The receive path with its real parts: a pseudo-terminal as the serial port
// (the test holds the master as the remote device), QSerialPort, the link
// library loaded by file name, the INI settings store and the keystroke
// injector with a recording backend. The polling timer is driven by the test.

#include "collection/data_collection.hpp"
#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_timer.hpp"
#include "fakes/fake_tray_icon.hpp"
#include "fakes/recording_backend.hpp"
#include "framing.hpp"
#include "platform/ini_settings_store.hpp"
#include "platform/port_device.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_port.hpp"
#include "pseudo_terminal.hpp"
#include "typing/send_keys.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace vxorv {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using testing::PseudoTerminal;

const QByteArray ack("\x06");
const QByteArray nak("\x15");

// The real library, noting for one chosen received byte whether a reply had
// already been written to the line.
class SpyLinkLibrary final : public LinkLibrary {
  public:
    SpyLinkLibrary(LinkLibrary& real, const PseudoTerminal& pty) : m_real(real), m_pty(pty) {}

    std::size_t bytesFed = 0;
    std::size_t checkAtByte = SIZE_MAX;
    bool replyReadableAtCheck = false;

    std::optional<std::uint16_t> VXBT_init(std::uint8_t c, std::uint16_t l, std::uint16_t q,
                                           std::uint8_t a, std::uint8_t s,
                                           vxbt_tx_callback t) override {
        return m_real.VXBT_init(c, l, q, a, s, t);
    }
    std::optional<std::uint16_t> VXBT_close(std::uint8_t c) override {
        return m_real.VXBT_close(c);
    }
    std::optional<std::uint16_t> VXBT_get_ver(std::uint8_t* a, std::uint8_t* b,
                                              std::uint8_t* c) override {
        return m_real.VXBT_get_ver(a, b, c);
    }
    std::optional<std::uint16_t> VXBT_rx_msg_cnt(std::uint8_t c) override {
        return m_real.VXBT_rx_msg_cnt(c);
    }
    std::optional<std::uint16_t> VXBT_get_msg(std::uint8_t c, std::uint8_t* d) override {
        return m_real.VXBT_get_msg(c, d);
    }
    std::optional<std::uint16_t> VXBT_send_ack(std::uint8_t c) override {
        return m_real.VXBT_send_ack(c);
    }
    std::optional<std::uint16_t> VXBT_send_nack(std::uint8_t c) override {
        return m_real.VXBT_send_nack(c);
    }
    std::optional<std::uint16_t> VXBT_rx_byte(std::uint8_t c, std::uint8_t b) override {
        if (bytesFed++ == checkAtByte) {
            // The terminal passes bytes on through the kernel's own worker, which
            // a loaded machine runs late; a reply not yet written never shows.
            replyReadableAtCheck = m_pty.waitReadable(5s);
        }
        return m_real.VXBT_rx_byte(c, b);
    }
    QString bindingError() const override { return m_real.bindingError(); }

  private:
    LinkLibrary& m_real;
    const PseudoTerminal& m_pty;
};

class ReceivePathTest : public ::testing::Test {
  protected:
    ~ReceivePathTest() override {
        if (m_collection) {
            m_collection->dataCollectionStop();
        }
        qunsetenv("XDG_CONFIG_HOME");
    }

    // Writes the user's settings file as a user would, then builds the parts.
    void setUp(bool protocol, const QString& device) {
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        QDir().mkpath(m_home.path() + QStringLiteral("/VXORV"));
        QFile ini(m_home.path() + QStringLiteral("/VXORV/VXORV.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[PROPERTIES]\nAutoStart=1\nExtendedConversion=1\n"
                                 "VXBlueToothSecurity=%1\nMSCOMMSettings=115200,N,8,1\n"
                                 "MSCOMMCommPort=1\nMSCOMMHandshaking=0\n"
                                 "[Ports]\nCOM1=%2\n[FirstRun]\nWhen=OK\n")
                      .arg(protocol ? 1 : 0)
                      .arg(device)
                      .toUtf8());
        ini.close();

        m_store = std::make_unique<IniSettingsStore>(settingsApplication);
        m_port = std::make_unique<QtSerialPort>(
            [this](std::int16_t port) { return devicePathForPort(*m_store, port); },
            portMappingHint(m_store->fileName()));
        loadSettings(*m_store, m_settings, *m_port);
        ASSERT_EQ(m_settings.VXBTSecurityMode, protocol ? 1 : 0);

        auto backend = std::make_unique<RecordingBackend>();
        m_typed = backend->record();
        m_injector = std::make_unique<SendKeys>(std::move(backend));
        m_collection = std::make_unique<DataCollection>(DataCollectionParts{
            *m_port, m_timer, m_spy, *m_injector, m_tray, m_boxes, m_settings, m_flags});
        m_collection->setOnDeviceLost([this](const QString&) { ++m_devicesLost; });
    }

    void start(bool protocol) {
        setUp(protocol, m_pty.slavePath());
        ASSERT_TRUE(m_collection->dataCollectionStart(true));
    }

    // The time-outs here only bound a hang: a loaded machine may be slow.
    QByteArray awaitReplies(int count) {
        processEventsUntil([&] { return m_pty.readable() >= count; }, 30s);
        return m_pty.readAvailable();
    }

    QString tickAndType() {
        m_timer.tick();
        EXPECT_TRUE(m_injector->waitUntilTypedFor(30s));
        return m_typed->text();
    }

    PseudoTerminal m_pty;
    QTemporaryDir m_home;
    QLibraryLinkLibrary m_library{QStringLiteral("libwinvxbt.so"),
                                  {QStringLiteral(WINVXBT_DIRECTORY)}};
    SpyLinkLibrary m_spy{m_library, m_pty};
    FakeTimer m_timer;
    FakeTrayIcon m_tray;
    FakeMessageBoxes m_boxes;
    SettingsValues m_settings;
    FirstLaunchFlags m_flags;
    std::unique_ptr<IniSettingsStore> m_store;
    std::unique_ptr<QtSerialPort> m_port;
    std::shared_ptr<const RecordingBackend::Record> m_typed;
    std::unique_ptr<SendKeys> m_injector;
    std::unique_ptr<DataCollection> m_collection;
    int m_devicesLost = 0;
};

TEST_F(ReceivePathTest, GoodFramesAreAcknowledgedAtOnceAndTypedAtTheNextTick) {
    start(true);
    const QByteArray first = vxbt::encodeFrame(0x09, 0, "abc");
    const QByteArray second = vxbt::encodeFrame(0x08, 1, QByteArray("d(e)\x83", 5));
    m_spy.checkAtByte = static_cast<std::size_t>(first.size());
    m_pty.write(first + second);

    EXPECT_EQ(awaitReplies(2), ack + ack);
    EXPECT_EQ(m_spy.bytesFed, static_cast<std::size_t>(first.size() + second.size()));
    EXPECT_TRUE(m_spy.replyReadableAtCheck)
        << "the first frame's ACK was not on the line before the next byte was read";
    EXPECT_EQ(m_typed->text(), "");
    EXPECT_EQ(tickAndType(), "abcd(e){ENTER}");
    EXPECT_EQ(m_collection->trace().counts(0).framesAccepted, 2u);
}

TEST_F(ReceivePathTest, ACorruptedFrameGetsNakAndIsAcceptedWhenSentAgain) {
    start(true);
    const QByteArray frame = vxbt::encodeFrame(0x09, 0, "abc");
    QByteArray corrupted = frame;
    corrupted[6] = static_cast<char>(corrupted[6] ^ 0x01);
    m_pty.write(corrupted);
    EXPECT_EQ(awaitReplies(1), nak);
    m_pty.write(frame);
    EXPECT_EQ(awaitReplies(1), ack);
    EXPECT_EQ(tickAndType(), "abc");
    EXPECT_EQ(m_collection->trace().counts(0).errors[VXBT_ERR_CRC], 1u);
}

TEST_F(ReceivePathTest, SixMessagesBeforeATickGiveFiveTypedAndOneNak) {
    start(true);
    QByteArray frames;
    for (int i = 0; i < 6; ++i) {
        frames += vxbt::encodeFrame(i == 0 ? 0x09 : 0x08, static_cast<std::uint8_t>(i),
                                    QByteArray::number(i + 1) + '\r');
    }
    m_pty.write(frames);
    EXPECT_EQ(awaitReplies(6), ack.repeated(5) + nak);
    EXPECT_EQ(tickAndType(), "1{ENTER}2{ENTER}3{ENTER}4{ENTER}5{ENTER}");

    m_pty.write(vxbt::encodeFrame(0x08, 5, "6\r"));
    EXPECT_EQ(awaitReplies(1), ack);
    EXPECT_EQ(tickAndType(), "1{ENTER}2{ENTER}3{ENTER}4{ENTER}5{ENTER}6{ENTER}");
}

TEST_F(ReceivePathTest, FragmentedMessagesAreReassembled) {
    start(true);
    QByteArray message;
    for (int i = 0; i < 700; ++i) {
        message += static_cast<char>('a' + i % 26);
    }
    vxbt::FramingOptions options;
    options.restart = true;
    QByteArray frames;
    for (const QByteArray& frame : vxbt::frameMessage(message, options)) {
        frames += frame;
    }
    m_pty.write(frames);
    EXPECT_EQ(awaitReplies(3), ack.repeated(3));
    EXPECT_EQ(tickAndType(), QString::fromLatin1(message));
}

TEST_F(ReceivePathTest, ThePlainPathTypesArrivingTextAtOnce) {
    start(false);
    m_pty.write(QByteArray("AB\x83", 3));
    EXPECT_TRUE(processEventsUntil([&] {
        m_injector->waitUntilTypedFor(10ms);
        return m_typed->text() == "AB{ENTER}";
    })) << m_typed->text().toStdString();
    EXPECT_EQ(m_pty.readable(), 0); // no replies on the plain path
}

TEST_F(ReceivePathTest, WhileTypingIsHeldTheDeviceIsAnsweredNakAndNothingAcknowledgedIsLost) {
    start(true);
    m_injector->setHeld(true);
    QString acknowledged;
    QByteArray refused;
    QByteArray refusedMessage;
    for (int i = 0; i < 200 && refused.isEmpty(); ++i) {
        const QByteArray message =
            QByteArray::number(i).append(';').leftJustified(300, static_cast<char>('a' + i % 26));
        const QByteArray frame =
            vxbt::encodeFrame(i == 0 ? 0x09 : 0x08, static_cast<std::uint8_t>(i), message);
        m_pty.write(frame);
        const QByteArray reply = awaitReplies(1);
        ASSERT_EQ(reply.size(), 1);
        if (reply == ack) {
            acknowledged += QString::fromLatin1(message);
        } else {
            refused = frame;
            refusedMessage = message;
        }
        m_timer.tick();
    }
    ASSERT_FALSE(refused.isEmpty()) << "the device was never held back";
    EXPECT_LT(m_injector->room(), 4096u);
    EXPECT_EQ(m_typed->text(), "");

    m_injector->setHeld(false);
    const auto typeAll = [&](const QString& expected) {
        return processEventsUntil(
            [&] {
                m_timer.tick();
                m_injector->waitUntilTypedFor(10ms);
                return m_typed->text().size() >= expected.size();
            },
            20s);
    };
    EXPECT_TRUE(typeAll(acknowledged));
    EXPECT_EQ(m_typed->text(), acknowledged);
    m_pty.write(refused); // sent again, as the device does after NAK
    EXPECT_EQ(awaitReplies(1), ack);
    acknowledged += QString::fromLatin1(refusedMessage);
    EXPECT_TRUE(typeAll(acknowledged));
    EXPECT_EQ(m_typed->text(), acknowledged);
}

TEST_F(ReceivePathTest, WhileTypingIsHeldThePlainPathHoldsTheSenderBack) {
    start(false);
    m_injector->setHeld(true);
    QByteArray line(64 * 1024, 'x');
    for (qsizetype i = 0; i < line.size(); ++i) {
        line[i] = static_cast<char>('a' + i % 26);
    }
    // Writes until the backlog is full and the line has taken nothing for a
    // while since: the sender is held. (A full line alone may only mean that
    // a loaded machine has not yet passed the bytes on.)
    QByteArray written;
    int idleRounds = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (idleRounds < 50 && written.size() < 4 * 1024 * 1024 && elapsed.elapsed() < 60000) {
        const qsizetype n = m_pty.tryWrite(line);
        written += line.left(n);
        idleRounds = n > 0 || m_injector->room() > 0 ? 0 : idleRounds + 1;
        processEventsUntil([] { return false; }, 10ms);
    }
    EXPECT_LT(written.size(), 1024 * 1024) << "the port was read on while typing was held";
    EXPECT_EQ(m_injector->room(), 0u);

    m_injector->setHeld(false);
    EXPECT_TRUE(processEventsUntil(
        [&] {
            m_timer.tick();
            m_injector->waitUntilTypedFor(10ms);
            return m_typed->text().size() >= written.size();
        },
        60s));
    EXPECT_EQ(m_typed->text(), QString::fromLatin1(written)) << "nothing lost, nothing twice";
}

TEST_F(ReceivePathTest, RepliesTheDeviceDoesNotReadAreDroppedAndThePortStaysOpen) {
    start(true);
    m_pty.stopOutput(true);
    const QByteArray frames = vxbt::encodeFrame(0x09, 0, "abc") + vxbt::encodeFrame(0x08, 1, "def");
    m_pty.write(frames);
    ASSERT_TRUE(processEventsUntil([&] { return m_spy.bytesFed == std::size_t(frames.size()); }));
    processEventsUntil([] { return false; }, 300ms);
    EXPECT_EQ(m_devicesLost, 0);
    EXPECT_TRUE(m_collection->IsDataCollectionRunnning());
    EXPECT_EQ(m_collection->trace().counts(0).repliesDropped, 2u);
    EXPECT_EQ(m_collection->trace().counts(0).framesAccepted, 2u);

    m_pty.stopOutput(false);
    m_pty.write(vxbt::encodeFrame(0x08, 1, "def")); // sent again after its time-out
    EXPECT_EQ(awaitReplies(1), ack) << "no stale reply is left to go out";
    EXPECT_EQ(tickAndType(), "abcdef");
}

TEST_F(ReceivePathTest, TheDeviceVanishingMidFrameClosesThePortAndNothingElse) {
    start(true);
    m_pty.write(vxbt::encodeFrame(0x09, 0, "abc").left(5));
    ASSERT_TRUE(processEventsUntil([&] { return m_spy.bytesFed == 5; }));
    m_pty.closeMaster();

    ASSERT_TRUE(processEventsUntil([&] { return m_devicesLost > 0; }));
    processEventsUntil([] { return false; }, 300ms); // a busy loop would report again
    EXPECT_EQ(m_devicesLost, 1);
    EXPECT_FALSE(m_collection->IsDataCollectionRunnning());
    EXPECT_EQ(m_tray.picture(), TrayIcon::Picture::imgStopped);
    EXPECT_EQ(m_spy.bytesFed, 5u);
    EXPECT_TRUE(m_boxes.shown.empty());
}

TEST_F(ReceivePathTest, NoSuchDeviceIsShownByAStartFromTheButton) {
    setUp(true, QStringLiteral("/dev/vxorv-no-such-device"));
    EXPECT_FALSE(m_collection->dataCollectionStart(true));
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    const QString& text = m_boxes.shown[0].text;
    EXPECT_TRUE(text.contains("/dev/vxorv-no-such-device")) << text.toStdString();
    EXPECT_TRUE(text.contains("no such device")) << text.toStdString();
    EXPECT_TRUE(text.contains(m_store->fileName())) << text.toStdString();
    EXPECT_EQ(m_tray.picture(), TrayIcon::Picture::imgStopped);
}

} // namespace
} // namespace vxorv
