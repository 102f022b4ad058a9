#include "fakes/fake_settings_store.hpp"
#include "platform/port_device.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/serial_device_check.hpp"
#include "pseudo_terminal.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vxorv {
namespace {

using testing::processEventsUntil;
using testing::PseudoTerminal;

class QtSerialPortTest : public ::testing::Test {
  protected:
    QtSerialPortTest()
        : m_port([this](std::int16_t) { return m_device; }, QStringLiteral("(mapping hint)")) {
        m_port.setOnComm([this] { m_events.push_back(m_port.CommEvent()); });
    }

    PseudoTerminal m_pty;
    QString m_device = m_pty.slavePath();
    QtSerialPort m_port;
    std::vector<std::int16_t> m_events;
};

TEST_F(QtSerialPortTest, RejectsAssignmentsItCannotUse) {
    EXPECT_FALSE(m_port.setSettings(QStringLiteral("9600,Q,8,1")));
    EXPECT_FALSE(m_port.setHandshaking(3));
    EXPECT_FALSE(m_port.setCommPort(0));
    EXPECT_EQ(m_port.Settings(), "9600,n,8,1");
    EXPECT_EQ(m_port.Handshaking(), 0);
    EXPECT_EQ(m_port.CommPort(), 1);

    ASSERT_TRUE(m_port.setPortOpen(true));
    EXPECT_FALSE(m_port.setCommPort(2)); // a different port while open
    EXPECT_TRUE(m_port.setSettings(QStringLiteral("115200,E,7,2")));
    EXPECT_EQ(m_port.Settings(), "115200,e,7,2");
}

TEST_F(QtSerialPortTest, OutputIsOnTheLineBeforeTheCallReturns) {
    ASSERT_TRUE(m_port.setPortOpen(true));
    ASSERT_TRUE(m_port.Output(QByteArrayView("\x06", 1)));
    EXPECT_TRUE(m_pty.waitReadable(std::chrono::milliseconds(500)));
    EXPECT_EQ(m_pty.readAvailable(), QByteArray("\x06"));
}

TEST_F(QtSerialPortTest, ReceivedBytesRaiseOnCommAndReadOneByteAtATime) {
    ASSERT_TRUE(m_port.setInputMode(SerialPortComponent::InputModeBinary));
    ASSERT_TRUE(m_port.setInputLen(1));
    ASSERT_TRUE(m_port.setPortOpen(true));
    m_pty.write(QByteArray("\x02\x0D\x80", 3));
    ASSERT_TRUE(processEventsUntil([&] { return m_port.InBufferCount() == 3; }));
    EXPECT_EQ(m_events.front(), SerialPortComponent::CommEventReceive);
    QByteArray read;
    while (m_port.InBufferCount() > 0) {
        const auto input = m_port.Input();
        ASSERT_EQ(std::get<QByteArray>(input).size(), 1);
        read += std::get<QByteArray>(input);
    }
    EXPECT_EQ(read, QByteArray("\x02\x0D\x80", 3));
}

TEST_F(QtSerialPortTest, TextModeReadsEverythingWaitingAsWindows1252) {
    ASSERT_TRUE(m_port.setPortOpen(true));
    m_pty.write(QByteArray("A\x80\x83", 3));
    ASSERT_TRUE(processEventsUntil([&] { return m_port.InBufferCount() == 3; }));
    EXPECT_EQ(std::get<QString>(m_port.Input()), QStringLiteral("A\u20AC\u0192"));
    EXPECT_EQ(m_port.InBufferCount(), 0);
}

TEST_F(QtSerialPortTest, NoSuchDeviceNamesThePathAndHowToMapIt) {
    m_device = QStringLiteral("/dev/vxorv-no-such-device");
    const Status opened = m_port.setPortOpen(true);
    ASSERT_FALSE(opened);
    EXPECT_TRUE(opened.description().contains("/dev/vxorv-no-such-device"));
    EXPECT_TRUE(opened.description().contains("no such device"));
    EXPECT_TRUE(opened.description().contains("(mapping hint)"));
    EXPECT_FALSE(m_port.PortOpen());
}

TEST_F(QtSerialPortTest, AFileADirectoryOrAnotherDeviceIsNotASerialPort) {
    for (const char* path : {"/etc/passwd", "/dev/null", "/tmp"}) {
        m_device = QString::fromLatin1(path);
        const Status opened = m_port.setPortOpen(true);
        ASSERT_FALSE(opened) << path;
        EXPECT_TRUE(opened.description().contains(m_device + " is not a serial port"))
            << opened.description().toStdString();
        EXPECT_FALSE(opened.description().contains("ioctl")) << path;
        EXPECT_TRUE(opened.description().contains("(mapping hint)")) << path;
    }
    // A pseudo-terminal, which the kernel's device classes do not list, is one.
    EXPECT_EQ(serialDeviceKind(m_pty.slavePath()), SerialDeviceKind::SerialPort);
}

TEST_F(QtSerialPortTest, ADeviceInUseSaysSo) {
    ASSERT_TRUE(m_port.setPortOpen(true));
    QtSerialPort second([this](std::int16_t) { return m_device; }, QString());
    const Status opened = second.setPortOpen(true);
    ASSERT_FALSE(opened);
    EXPECT_TRUE(opened.description().contains(m_device)) << opened.description().toStdString();
    EXPECT_TRUE(opened.description().contains("in use")) << opened.description().toStdString();
}

// Opens the device as an unprivileged user in a child process (the tests may
// run as root, whom permissions do not stop) and returns the description.
QString openAsUnprivilegedUser(const QString& device) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        QtSerialPort port([&](std::int16_t) { return device; }, QString());
        const QByteArray text = port.setPortOpen(true).description().toUtf8();
        (void)!::write(pipeFds[1], text.constData(), static_cast<std::size_t>(text.size()));
        _exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray text;
    char buffer[1024];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, n);
    }
    ::close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return QString::fromUtf8(text);
}

TEST_F(QtSerialPortTest, PermissionDeniedNamesTheGroupToJoin) {
    const QByteArray path = m_device.toLocal8Bit();
    // Group "dialout" (20 on Debian) owns serial devices; only it may use this one.
    ASSERT_EQ(chown(path.constData(), geteuid() == 0 ? 0 : geteuid(), 20), 0);
    ASSERT_EQ(chmod(path.constData(), 0660), 0);
    const QString description = openAsUnprivilegedUser(m_device);
    EXPECT_TRUE(description.contains("permission denied")) << description.toStdString();
    EXPECT_TRUE(description.contains(m_device)) << description.toStdString();
    EXPECT_TRUE(description.contains("usermod -aG dialout")) << description.toStdString();
}

TEST_F(QtSerialPortTest, AVanishedDeviceClosesThePortAndIsReportedOnce) {
    ASSERT_TRUE(m_port.setPortOpen(true));
    m_pty.closeMaster();
    ASSERT_TRUE(processEventsUntil([&] { return !m_port.PortOpen(); }));
    processEventsUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(
        std::count(m_events.begin(), m_events.end(), SerialPortComponent::CommEventDeviceLost), 1);
    EXPECT_LE(m_events.size(), 2u);
    EXPECT_TRUE(m_port.lastErrorDescription().contains(m_device));
    EXPECT_FALSE(m_port.Output(QByteArrayView("\x06", 1)));
}

TEST(PortDevice, PortNumbersMapThroughTheStoreOrToBuiltInPorts) {
    FakeSettingsStore store;
    EXPECT_EQ(devicePathForPort(store, 1), "/dev/ttyS0");
    EXPECT_EQ(devicePathForPort(store, 16), "/dev/ttyS15");
    store.values[QStringLiteral("Ports/COM3")] = QStringLiteral("/dev/rfcomm0");
    EXPECT_EQ(devicePathForPort(store, 3), "/dev/rfcomm0");
    EXPECT_EQ(devicePathForPort(store, 4), "/dev/ttyS3");
}

} // namespace
} // namespace vxorv
