// Two pseudo-terminals joined back to back, a null-modem cable for trying
// the program without hardware: one end is the program's serial port, the
// other the remote device's (vxbt send).
//   vxorv_pty_pair LINK_A LINK_B
// Links the two device paths to LINK_A and LINK_B and carries bytes both
// ways until it receives SIGTERM or SIGINT.

#include <array>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopping = 0;

extern "C" void onSignal(int) {
    stopping = 1;
}

// Opens a raw terminal and links its slave path; returns the master, or -1.
int openEnd(const char* link) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return -1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    // The slave stays open here, so the end lives while no program has it open.
    ::unlink(link);
    if (::symlink(name, link) != 0) {
        return -1;
    }
    return master;
}

bool copy(int from, int to) {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n <= 0) {
        return true; // the other side has the terminal closed for now
    }
    return ::write(to, buffer.data(), static_cast<std::size_t>(n)) == n;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vxorv_pty_pair LINK_A LINK_B\n");
        return 2;
    }
    const int a = openEnd(argv[1]);
    const int b = openEnd(argv[2]);
    if (a < 0 || b < 0) {
        std::perror("vxorv_pty_pair");
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    while (!stopping) {
        std::array<pollfd, 2> fds{{{a, POLLIN, 0}, {b, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), 200) <= 0) {
            continue;
        }
        if (((fds[0].revents & POLLIN) && !copy(a, b)) ||
            ((fds[1].revents & POLLIN) && !copy(b, a))) {
            break;
        }
    }
    ::unlink(argv[1]);
    ::unlink(argv[2]);
    return 0;
}
