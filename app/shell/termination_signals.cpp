#include "shell/termination_signals.hpp"

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vxorv {
namespace {

constexpr std::array handledSignals{SIGTERM, SIGHUP, SIGINT};
volatile std::sig_atomic_t writeEnd = -1;

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    // Nothing can be done about a full socket: one byte already waits.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> handler)
    : m_handler(std::move(handler)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_sockets) != 0) {
        qFatal("Cannot create the socket pair for termination signals");
    }
    writeEnd = m_sockets[0];
    m_notifier = std::make_unique<QSocketNotifier>(m_sockets[1], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(m_sockets[1], bytes, sizeof bytes) > 0) {
        }
        m_handler();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    for (const int signal : handledSignals) {
        std::signal(signal, SIG_DFL);
    }
    writeEnd = -1;
    m_notifier.reset();
    ::close(m_sockets[0]);
    ::close(m_sockets[1]);
}

} // namespace vxorv
