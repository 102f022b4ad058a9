// Figures of the whole program on an X server (run it under xvfb-run):
// resident memory and CPU use while idle with collection running and while
// typing a 4096-character message, and the time from a frame's last byte to
// its first typed key (median and worst of 100).
//   vxorv_shell_figures [IDLE_SECONDS]

#include "desktop.hpp"
#include "remote_device.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

using namespace vxorv::e2e;
using namespace std::chrono_literals;

struct Usage {
    double cpuSeconds = 0;
    long rssKiB = 0;
};

Usage usageOf(qint64 pid) {
    Usage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        // Fields after the command's closing parenthesis; utime and stime are 14 and 15.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
        usage.cpuSeconds = (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                usage.rssKiB = line.mid(6).trimmed().split(' ').first().toLong();
            }
        }
    }
    return usage;
}

void report(const char* phase, Usage before, Usage after, double seconds) {
    std::printf("%-34s CPU %6.2f %%   RSS %6ld KiB -> %6ld KiB\n", phase,
                100.0 * (after.cpuSeconds - before.cpuSeconds) / seconds, before.rssKiB,
                after.rssKiB);
}

void pause(std::chrono::milliseconds time) {
    waitFor([] { return false; }, time);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 30;

    QTemporaryDir home;
    RemoteDevice device(home.filePath(QStringLiteral("scanner")));
    {
        QSettings ini(home.filePath(QStringLiteral("VXORV/VXORV.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("FirstRun/When"), QStringLiteral("OK"));
        ini.setValue(QStringLiteral("PROPERTIES/AutoStart"), QStringLiteral("1"));
        ini.setValue(QStringLiteral("PROPERTIES/VXBlueToothSecurity"), QStringLiteral("1"));
        ini.setValue(QStringLiteral("Ports/COM1"), home.filePath(QStringLiteral("scanner")));
    }
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"),
                 {QStringLiteral("--SetDockType"), QStringLiteral("true")});
    pause(1s);
    TypingSink sink;
    if (!sink.showAndFocus()) {
        std::fprintf(stderr, "the sink did not get the focus\n");
        return 1;
    }
    QProcess vxorv;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    vxorv.setProcessEnvironment(environment);
    vxorv.start(QStringLiteral(VXORV_PROGRAM), {});
    if (!waitFor([&] { return processHasOpen(vxorv.processId(), device.slavePath()); })) {
        std::fprintf(stderr, "VXORV did not open the port\n");
        return 1;
    }
    const qint64 pid = vxorv.processId();
    sink.showAndFocus();
    pause(2s);

    Usage start = usageOf(pid);
    pause(std::chrono::seconds(idleSeconds));
    Usage end = usageOf(pid);
    report("idle, collecting", start, end, idleSeconds);

    QByteArray message;
    for (int i = 0; message.size() < 4096; ++i) {
        message += static_cast<char>('a' + i % 26);
    }
    start = usageOf(pid);
    QElapsedTimer typing;
    typing.start();
    sink.clear();
    if (!device.sendFragmented(message)) {
        std::fprintf(stderr, "the long message was not acknowledged\n");
        return 1;
    }
    sink.collect([&] { return sink.transcript().size() >= message.size(); }, 200, 60000);
    const double typingSeconds = static_cast<double>(typing.elapsed()) / 1000.0;
    end = usageOf(pid);
    report("typing 4096 characters", start, end, typingSeconds);
    std::printf("  typed %lld of 4096 characters exactly: %s, in %.2f s\n",
                static_cast<long long>(sink.transcript().size()),
                sink.transcript() == QString::fromLatin1(message) ? "yes" : "no", typingSeconds);

    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) {
        sink.clear();
        QElapsedTimer sinceLastByte;
        // sendMessage returns after the ACK; the clock starts at the write.
        sinceLastByte.start();
        if (device.sendMessage(QByteArrayLiteral("x")) != 0x06) {
            std::fprintf(stderr, "frame %d was not acknowledged\n", i);
            return 1;
        }
        while (sink.keyPresses() == 0 && sinceLastByte.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        latencies.push_back(static_cast<double>(sinceLastByte.nsecsElapsed()) / 1e6);
        pause(std::chrono::milliseconds(37 + i % 50)); // not in step with the polling timer
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("last byte of a frame to first typed key: median %.1f ms, worst %.1f ms (100)\n",
                (latencies[49] + latencies[50]) / 2, latencies.back());

    start = usageOf(pid);
    pause(std::chrono::seconds(idleSeconds));
    end = usageOf(pid);
    report("idle again after typing", start, end, idleSeconds);

    vxorv.terminate();
    vxorv.waitForFinished();
    trayer.kill();
    trayer.waitForFinished();
    return 0;
}
