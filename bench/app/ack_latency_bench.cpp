// How fast the application core answers frames on a serial line: a
// pseudo-terminal stands for the line, the remote side (a thread holding the
// master) sends a frame and waits for its reply. Reports, over the given
// number of frames, the median and 99th percentile time from the last byte of
// a frame written to its ACK readable, and the sustained rate of full-size
// frames compared with what a 115200-baud line carries.
//
// The frames carry no message (CTRL_DATA clear): the receiver checks, counts
// and acknowledges them exactly as message frames, but queues nothing, so the
// queue of five (emptied every 200 ms) never refuses one however fast they
// follow each other. Queueing a message adds one allocation and one copy.
//
// Usage: vxorv_ack_latency_bench [frames]   (default 10000)

#include "collection/data_collection.hpp"
#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_tray_icon.hpp"
#include "framing.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/qt_timer.hpp"
#include "typing/keystroke_injector.hpp"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace vxorv;

// Counts what it is asked to type; the keystrokes themselves go nowhere.
class NullInjector final : public KeystrokeInjector {
  public:
    bool available() const override { return true; }
    QString unavailableReason() const override { return {}; }
    std::size_t room() const override { return SIZE_MAX; }
    void sendKeys(const QString& keystrokes) override { m_characters += keystrokes.size(); }
    std::size_t discardPending() override { return 0; }

  private:
    qsizetype m_characters = 0;
};

struct Pty {
    int master = -1;
    int slave = -1;
    QString slavePath;
};

Pty openPty() {
    Pty pty;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&pty.master, &pty.slave, name, &raw, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    pty.slavePath = QString::fromLocal8Bit(name);
    return pty;
}

void writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0) {
            throw std::runtime_error("write failed");
        }
        done += n;
    }
}

char awaitReply(int fd) {
    pollfd master{fd, POLLIN, 0};
    if (poll(&master, 1, 5000) != 1) {
        throw std::runtime_error("no reply within 5 s");
    }
    char reply = 0;
    if (::read(fd, &reply, 1) != 1) {
        throw std::runtime_error("read failed");
    }
    return reply;
}

struct Results {
    std::vector<double> latencyUs;
    double fullFramesPerSecond = 0;
    int naks = 0;
};

constexpr std::uint8_t noData = 0x00;
constexpr std::uint8_t restartNoData = 0x01;

// The remote device: stop-and-wait, as a real device sends.
void remoteSide(int master, int frames, Results& results) {
    std::uint8_t seq = 0;
    const QByteArray small(16, 'x');
    for (int i = 0; i < frames; ++i) {
        const QByteArray frame = vxbt::encodeFrame(i == 0 ? restartNoData : noData, seq, small);
        writeAll(master, frame.left(frame.size() - 1));
        writeAll(master, frame.right(1));
        const auto lastByteWritten = Clock::now();
        const char reply = awaitReply(master);
        results.latencyUs.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - lastByteWritten).count());
        if (reply == vxbt::ACK) {
            ++seq;
        } else {
            ++results.naks;
            --i; // sent again
        }
    }
    const QByteArray full(static_cast<qsizetype>(vxbt::maxPayload), 'y');
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        writeAll(master, vxbt::encodeFrame(noData, seq, full));
        if (awaitReply(master) == vxbt::ACK) {
            ++seq;
        } else {
            ++results.naks;
            --i;
        }
    }
    results.fullFramesPerSecond =
        frames / std::chrono::duration<double>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

    Pty pty = openPty();
    QtSerialPort port([&](std::int16_t) { return pty.slavePath; }, QString());
    if (!port.setSettings(QStringLiteral("115200,N,8,1"))) {
        return 1;
    }
    QtTimer pollingTimer;
    QLibraryLinkLibrary library(QStringLiteral("libwinvxbt.so"),
                                {QStringLiteral(WINVXBT_DIRECTORY)});
    NullInjector injector;
    FakeTrayIcon tray;
    FakeMessageBoxes boxes;
    const SettingsValues settings{true, 1, 1};
    const FirstLaunchFlags flags;
    DataCollection collection(
        {port, pollingTimer, library, injector, tray, boxes, settings, flags});
    if (!collection.dataCollectionStart(false)) {
        std::fprintf(
            stderr, "cannot start: %s\n",
            qPrintable(boxes.shown.empty() ? library.bindingError() : boxes.shown.back().text));
        return 1;
    }
    Results results;
    std::thread remote([&] {
        try {
            remoteSide(pty.master, frames, results);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "remote side: %s\n", error.what());
        }
        QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    application.exec();
    remote.join();
    collection.dataCollectionStop();
    if (results.latencyUs.size() < static_cast<std::size_t>(frames)) {
        return 1;
    }

    const double lineBytesPerSecond = 115200.0 / 10.0; // 8N1: ten bits a byte
    const double fullFrameBytes = static_cast<double>(vxbt::maxPayload + 8) + 1; // and its ACK
    const double lineFramesPerSecond = lineBytesPerSecond / fullFrameBytes;
    std::printf("frames: %d of 24 bytes (16-byte payload) for latency, %d of 330 bytes for rate\n",
                frames, frames);
    std::printf("last byte written -> ACK readable: median %.1f us, 99th percentile %.1f us, "
                "max %.1f us\n",
                percentile(results.latencyUs, 0.5), percentile(results.latencyUs, 0.99),
                percentile(results.latencyUs, 1.0));
    std::printf("sustained: %.0f full-size frames/s = %.0f bytes/s = %.1f x a 115200-baud line "
                "(%.1f frames/s)\n",
                results.fullFramesPerSecond, results.fullFramesPerSecond * fullFrameBytes,
                results.fullFramesPerSecond / lineFramesPerSecond, lineFramesPerSecond);
    std::printf("NAKs: %d\n", results.naks);
    return 0;
}
