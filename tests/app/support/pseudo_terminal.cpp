#include "pseudo_terminal.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vxorv::testing {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    m_slavePath = QString::fromLocal8Bit(name);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
    closeMaster();
    if (m_slave >= 0) {
        ::close(m_slave);
    }
}

void PseudoTerminal::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done,
                                  static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("writing to the pty master failed");
        }
        if (n > 0) {
            done += n;
        } else {
            QCoreApplication::processEvents(); // let the reader drain the line
        }
    }
}

qsizetype PseudoTerminal::tryWrite(QByteArrayView bytes) {
    const ssize_t n = ::write(m_master, bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
        throw std::runtime_error("writing to the pty master failed");
    }
    return n > 0 ? n : 0;
}

void PseudoTerminal::stopOutput(bool stop) {
    tcflow(m_slave, stop ? TCOOFF : TCOON);
}

int PseudoTerminal::readable() const {
    int count = 0;
    ioctl(m_master, FIONREAD, &count);
    return count;
}

bool PseudoTerminal::waitReadable(std::chrono::milliseconds timeout) const {
    pollfd master{m_master, POLLIN, 0};
    return poll(&master, 1, static_cast<int>(timeout.count())) == 1;
}

QByteArray PseudoTerminal::readAvailable() {
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, n);
    }
}

void PseudoTerminal::closeMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace vxorv::testing
