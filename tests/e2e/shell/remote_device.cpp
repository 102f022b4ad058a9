#include "remote_device.hpp"

#include "frame_encoder.hpp"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace vxorv::e2e {

RemoteDevice::RemoteDevice(QString linkPath) : m_linkPath(std::move(linkPath)) {
    open();
}

RemoteDevice::~RemoteDevice() {
    vanish();
    QFile::remove(m_linkPath);
}

void RemoteDevice::open() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    // Programs the test starts must not hold the device open.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    // Raw bytes both ways: frames carry CR and binary CRC bytes.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    m_slavePath = QString::fromLocal8Bit(name);
    QFile::remove(m_linkPath);
    if (!QFile::link(m_slavePath, m_linkPath)) {
        throw std::runtime_error("cannot link the device");
    }
}

void RemoteDevice::vanish() {
    // The name goes with the device: terminal numbers are reused, and the
    // program must not open another test's terminal under the old one.
    QFile::remove(m_linkPath);
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void RemoteDevice::reappear() {
    vanish();
    open();
}

void RemoteDevice::writeRaw(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done,
                                  static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno != EINTR) {
            throw std::runtime_error("cannot write to the device");
        }
        done += n > 0 ? n : 0;
    }
}

qsizetype RemoteDevice::offer(QByteArrayView bytes, std::chrono::milliseconds wait) {
    pollfd fd{m_master, POLLOUT, 0};
    if (::poll(&fd, 1, static_cast<int>(wait.count())) <= 0 || !(fd.revents & POLLOUT)) {
        return 0;
    }
    // Room for one byte does not mean room for all: never block here.
    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = ::write(m_master, bytes.data(), static_cast<std::size_t>(bytes.size()));
    ::fcntl(m_master, F_SETFL, flags);
    return n > 0 ? n : 0;
}

int RemoteDevice::readByte(std::chrono::milliseconds timeout) {
    pollfd fd{m_master, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0 || !(fd.revents & POLLIN)) {
        return -1;
    }
    unsigned char byte = 0;
    return ::read(m_master, &byte, 1) == 1 ? byte : -1;
}

int RemoteDevice::sendFrame(std::uint8_t ctrl, const QByteArray& payload,
                            std::chrono::milliseconds timeout) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(payload.constData());
    const std::vector<std::uint8_t> frame =
        vxbt::encode_frame(ctrl, m_sequence++, {data, static_cast<std::size_t>(payload.size())});
    writeRaw(QByteArray(reinterpret_cast<const char*>(frame.data()),
                        static_cast<qsizetype>(frame.size())));
    return readByte(timeout);
}

int RemoteDevice::sendMessage(const QByteArray& message, std::chrono::milliseconds timeout) {
    // Kind 1 restarts the sequence numbering: the program may have missed frames.
    return sendFrame(vxbt::ctrl_data | 1, message, timeout);
}

bool RemoteDevice::sendFragmented(const QByteArray& message, std::chrono::milliseconds timeout) {
    constexpr qsizetype fragment = 300;
    for (qsizetype at = 0; at < message.size(); at += fragment) {
        const bool first = at == 0;
        const bool last = at + fragment >= message.size();
        const auto ctrl =
            static_cast<std::uint8_t>(vxbt::ctrl_data | (first ? 1 : 0) |
                                      (last ? 0 : vxbt::ctrl_more) | (first ? 0 : vxbt::ctrl_cont));
        if (sendFrame(ctrl, message.mid(at, fragment), timeout) != 0x06) {
            return false;
        }
    }
    return true;
}

bool processHasOpen(qint64 pid, const QString& path) {
    // A terminal whose master has closed shows as "<path> (deleted)".
    const QByteArray device = path.toLocal8Bit();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[512];
        const ssize_t n =
            ::readlink(fds.filePath(fd).toLocal8Bit().constData(), target, sizeof target - 1);
        const QByteArray link(target, n > 0 ? n : 0);
        if (link == device || link == device + " (deleted)") {
            return true;
        }
    }
    return false;
}

} // namespace vxorv::e2e
