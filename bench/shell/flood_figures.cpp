// The program's resident memory while a device floods it at full speed for
// 30 s, on each receive path, typing into a window on an X server (run it
// under xvfb-run); then how long SIGTERM takes to end it.
//   plain path: random bytes, written as fast as the line takes them;
//   link protocol: valid frames of the longest messages, back to back,
//   without waiting for replies.
//   vxorv_flood_figures [SECONDS]

#include "desktop.hpp"
#include "framing.hpp"
#include "remote_device.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace vxorv::e2e;
using namespace std::chrono_literals;

long residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                return line.mid(6).trimmed().split(' ').first().toLong();
            }
        }
    }
    return -1;
}

// What the device sends next, round after round.
QByteArray floodChunk(bool protocol, std::mt19937& random) {
    QByteArray chunk;
    if (protocol) {
        static std::uint8_t seq = 0;
        QByteArray message(4096, ' ');
        for (char& c : message) {
            c = static_cast<char>(std::uniform_int_distribution<>(0x21, 0x7e)(random));
        }
        vxorv::vxbt::FramingOptions options;
        options.firstSeq = seq;
        options.restart = true;
        for (const QByteArray& frame : vxorv::vxbt::frameMessage(message, options)) {
            chunk += frame;
            ++seq;
        }
    } else {
        chunk.resize(4096);
        for (char& c : chunk) {
            c = static_cast<char>(std::uniform_int_distribution<>(0, 255)(random));
        }
    }
    return chunk;
}

int flood(bool protocol, int seconds) {
    QTemporaryDir home;
    const QString link = home.filePath(QStringLiteral("scanner"));
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        return 1;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    QFile::link(QString::fromLocal8Bit(name), link);
    {
        QSettings ini(home.filePath(QStringLiteral("VXORV/VXORV.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("FirstRun/When"), QStringLiteral("OK"));
        ini.setValue(QStringLiteral("PROPERTIES/AutoStart"), 1);
        ini.setValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity"), protocol ? 1 : 0);
        ini.setValue(QStringLiteral("Ports/COM1"), link);
    }
    TypingSink sink;
    sink.showAndFocus();
    QProcess vxorv;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vxorv.*.warning=false"));
    vxorv.setProcessEnvironment(environment);
    vxorv.start(QStringLiteral(VXORV_PROGRAM), {});
    const QString device = QString::fromLocal8Bit(name);
    if (!waitFor([&] { return processHasOpen(vxorv.processId(), device); })) {
        std::fprintf(stderr, "VXORV did not open the port\n");
        return 1;
    }
    ::close(slave);
    const qint64 pid = vxorv.processId();
    sink.showAndFocus();
    waitFor([] { return false; }, 1s);

    std::atomic<bool> stop = false;
    std::atomic<long long> written = 0;
    std::thread writer([&] {
        std::mt19937 random(7);
        QByteArray chunk = floodChunk(protocol, random);
        qsizetype at = 0;
        char replies[256];
        while (!stop) {
            while (::read(master, replies, sizeof replies) > 0) {
            }
            pollfd fd{master, POLLOUT, 0};
            if (::poll(&fd, 1, 50) <= 0) {
                continue;
            }
            const ssize_t n = ::write(master, chunk.constData() + at,
                                      static_cast<std::size_t>(chunk.size() - at));
            if (n > 0) {
                written += n;
                at += n;
                if (at == chunk.size()) {
                    chunk = floodChunk(protocol, random);
                    at = 0;
                }
            }
        }
    });

    std::printf("%s, %d s flood:\n  resident memory (KiB) each 5 s:",
                protocol ? "link protocol" : "plain path", seconds);
    long highest = 0;
    QElapsedTimer clock;
    clock.start();
    for (int second = 0; second <= seconds; ++second) {
        const long rss = residentKiB(pid);
        highest = std::max(highest, rss);
        if (second % 5 == 0) {
            std::printf(" %ld", rss);
            std::fflush(stdout);
        }
        sink.collect([] { return false; }, 0,
                     static_cast<int>(1000 * (second + 1) - clock.elapsed()));
    }
    std::printf("\n  highest %ld KiB; the device got %.1f MB onto the line, %lld keys typed\n",
                highest, static_cast<double>(written) / 1e6,
                static_cast<long long>(sink.keyPresses()));

    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    while (vxorv.state() != QProcess::NotRunning && sinceSignal.elapsed() < 30000) {
        sink.collect([] { return false; }, 0, 10);
    }
    std::printf("  SIGTERM to exit: %lld ms\n", static_cast<long long>(sinceSignal.elapsed()));
    stop = true;
    writer.join();
    ::close(master);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"),
                 {QStringLiteral("--SetDockType"), QStringLiteral("true")});
    waitFor([] { return false; }, 1s);
    const int status = flood(false, seconds) | flood(true, seconds);
    trayer.kill();
    trayer.waitForFinished();
    return status;
}
