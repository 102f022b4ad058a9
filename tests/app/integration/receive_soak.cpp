// A soak of the receive path over a faulty line. A simulated scanner sends
// seeded random messages with the link protocol as a real one does (a frame
// sent again after a time-out; after NAK, the message again from its first
// frame, since a receiver whose queue was full wants it whole), through a fault injector that
// flips bits, drops bytes, adds garbage, sends frames twice, loses replies
// and unplugs the device now and then. On the other end run the real parts:
// a pseudo-terminal as the serial port, QSerialPort, the link library, the
// collection with its polling timer and the injector with a recording
// backend at a desktop's pace, held now and then as when the user opens one
// of the program's menus. At the end every acknowledged message must have been typed
// exactly once, in order, and nothing else.
//
//   receive_soak [--seconds N] [--seed S]     (defaults: 60 s, seed 1)
//
// Prints its figures and exits with 0 when the check holds.

#include "collection/data_collection.hpp"
#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_tray_icon.hpp"
#include "fakes/recording_backend.hpp"
#include "framing.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/qt_timer.hpp"
#include "typing/send_keys.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace vxorv;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char messageEnd = '\x83'; // typed as Enter with extended conversion 1
constexpr auto replyTimeout = 500ms;

struct Faults {
    std::uint64_t framesSent = 0;
    std::uint64_t flips = 0;
    std::uint64_t drops = 0;
    std::uint64_t garbage = 0;
    std::uint64_t duplicates = 0;
    std::uint64_t repliesLost = 0;
    std::uint64_t unplugs = 0;
    std::uint64_t naks = 0;
    std::uint64_t timeouts = 0;
};

// The scanner's end of the line: a pseudo-terminal master reached by the
// program through a fixed link, replaced by a new terminal after an unplug.
class Line {
  public:
    explicit Line(QString link) : m_link(std::move(link)) { plugIn(); }
    ~Line() { unplug(); }

    void plugIn() {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
            std::perror("openpty");
            std::exit(2);
        }
        const QString staging = m_link + QStringLiteral(".new");
        QFile::remove(staging);
        QFile::link(QString::fromLocal8Bit(name), staging);
        std::rename(staging.toLocal8Bit().constData(), m_link.toLocal8Bit().constData());
    }
    void unplug() {
        // The name goes with the device: terminal numbers are reused, and the
        // program must not open another test's terminal under the old one.
        QFile::remove(m_link);
        for (int* fd : {&m_master, &m_slave}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }
    void write(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            pollfd fd{m_master, POLLOUT, 0};
            if (::poll(&fd, 1, 1000) <= 0) {
                return; // nobody reads: as good as lost on the line
            }
            const ssize_t n = ::write(m_master, bytes.constData() + done,
                                      static_cast<std::size_t>(bytes.size() - done));
            if (n <= 0) {
                return;
            }
            done += n;
        }
    }
    // The first reply byte within `timeout`, or -1.
    int readReply(std::chrono::milliseconds timeout) {
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0 || !(fd.revents & POLLIN)) {
            return -1;
        }
        unsigned char byte = 0;
        return ::read(m_master, &byte, 1) == 1 ? byte : -1;
    }
    // Waits until the line has been quiet for a moment, dropping what comes.
    void discardReplies() {
        while (readReply(15ms) >= 0) {
        }
    }

  private:
    QString m_link;
    int m_master = -1;
    int m_slave = -1; // open until the program opens the new terminal
};

// The simulated scanner: sends messages until the time is up, each frame
// again until it is acknowledged, through the fault injector.
class Scanner {
  public:
    Scanner(Line& line, std::uint32_t seed) : m_line(line), m_random(seed) {}

    void run(Clock::time_point until, const std::atomic<bool>& abort) {
        std::uint8_t seq = 0;
        bool restart = true;
        while (Clock::now() < until && !abort) {
            const QByteArray message = nextMessage();
            vxbt::FramingOptions options;
            options.firstSeq = seq;
            options.restart = restart;
            const std::vector<QByteArray> frames = vxbt::frameMessage(message, options);
            std::size_t next = 0;
            while (next < frames.size() && !abort) {
                switch (send(frames[next])) {
                case Reply::Ack:
                    ++next;
                    break;
                case Reply::Nak:
                    next = 0;
                    break;
                case Reply::None:
                    break;
                }
            }
            if (abort) {
                return;
            }
            seq = static_cast<std::uint8_t>(seq + frames.size());
            restart = false;
            std::lock_guard lock(m_mutex);
            m_acknowledged.push_back(message.chopped(1));
        }
    }

    std::vector<QByteArray> acknowledged() const {
        std::lock_guard lock(m_mutex);
        return m_acknowledged;
    }
    const Faults& faults() const { return m_faults; }
    // Frames acknowledged so far: a long message on a faulty line may take
    // many tries, each of them progress.
    std::uint64_t framesAcknowledged() const { return m_framesAcknowledged; }

  private:
    enum class Reply { Ack, Nak, None };

    bool chance(double p) { return std::uniform_real_distribution<>(0, 1)(m_random) < p; }
    int uniform(int low, int high) { return std::uniform_int_distribution<>(low, high)(m_random); }

    // Mostly scanner-sized messages, now and then one of the longest.
    QByteArray nextMessage() {
        const int length = chance(0.05) ? uniform(1000, 4095) : uniform(1, 60);
        QByteArray message(length, ' ');
        for (char& c : message) {
            c = static_cast<char>(uniform(0x20, 0x7e));
        }
        return message + messageEnd;
    }

    Reply send(const QByteArray& frame) {
        if (chance(0.003)) {
            ++m_faults.unplugs;
            m_line.unplug();
            std::this_thread::sleep_for(std::chrono::milliseconds(uniform(100, 800)));
            m_line.plugIn();
        }
        // Replies still on their way (to a frame the line sent twice, or to
        // an attempt given up on) must not pass for the reply to this one.
        m_line.discardReplies();
        m_line.write(damaged(frame));
        ++m_faults.framesSent;
        const int reply = m_line.readReply(replyTimeout);
        if (reply >= 0 && chance(0.03)) {
            ++m_faults.repliesLost;
            return Reply::None; // as if no reply came: send again
        }
        if (reply == vxbt::ACK) {
            ++m_framesAcknowledged;
            return Reply::Ack;
        }
        if (reply < 0) {
            ++m_faults.timeouts;
            return Reply::None;
        }
        ++m_faults.naks;
        std::this_thread::sleep_for(20ms); // the program may be busy: give it time
        return Reply::Nak;
    }

    QByteArray damaged(QByteArray frame) {
        if (chance(0.03)) {
            ++m_faults.flips;
            const int at = uniform(0, static_cast<int>(frame.size()) - 1);
            frame[at] = static_cast<char>(frame[at] ^ (1 << uniform(0, 7)));
        }
        if (chance(0.03)) {
            ++m_faults.drops;
            frame.remove(uniform(0, static_cast<int>(frame.size()) - 1), 1);
        }
        if (chance(0.03)) {
            ++m_faults.garbage;
            QByteArray noise(uniform(1, 40), '\0');
            for (char& c : noise) {
                c = static_cast<char>(uniform(0, 255));
            }
            frame.prepend(noise);
        }
        if (chance(0.03)) {
            ++m_faults.duplicates;
            frame += frame;
        }
        return frame;
    }

    Line& m_line;
    std::mt19937 m_random;
    Faults m_faults;
    std::atomic<std::uint64_t> m_framesAcknowledged = 0;
    mutable std::mutex m_mutex;
    std::vector<QByteArray> m_acknowledged;
};

// Records like RecordingBackend, at the pace of a real desktop, so that the
// typing backlog fills when long messages come in a row.
class PacedBackend final : public KeystrokeBackend {
  public:
    std::shared_ptr<const RecordingBackend::Record> record() const { return m_recorder.record(); }
    bool type(const KeyEvent& event) override {
        std::this_thread::sleep_for(300us);
        return m_recorder.type(event);
    }
    void idle() override { m_recorder.idle(); }

  private:
    RecordingBackend m_recorder;
};

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// The typed keys as messages: the text between two Enter keys.
std::vector<QByteArray> typedMessages(const std::vector<KeyEvent>& events) {
    std::vector<QByteArray> messages(1);
    for (const KeyEvent& event : events) {
        if (event.kind == KeyEvent::Kind::Named && event.key == NamedKey::Enter) {
            messages.emplace_back();
        } else {
            messages.back() += static_cast<char>(event.character);
        }
    }
    messages.pop_back(); // after the last Enter
    return messages;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // The faults make the receive path warn on every one of them.
    QLoggingCategory::setFilterRules(QStringLiteral("vxorv.*.warning=false"));
    int seconds = 60;
    std::uint32_t seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray option(argv[i]);
        if (option == "--seconds") {
            seconds = std::atoi(argv[i + 1]);
        } else if (option == "--seed") {
            seed = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        }
    }

    QTemporaryDir directory;
    const QString link = directory.filePath(QStringLiteral("scanner"));
    Line line(link);

    QtSerialPort port([&](std::int16_t) { return link; }, {});
    (void)port.setSettings(QStringLiteral("115200,N,8,1"));
    QLibraryLinkLibrary library(QStringLiteral("libwinvxbt.so"),
                                {QStringLiteral(WINVXBT_DIRECTORY)});
    auto backend = std::make_unique<PacedBackend>();
    const auto record = backend->record();
    SendKeys injector(std::move(backend));
    QtTimer pollingTimer;
    FakeTrayIcon tray;
    FakeMessageBoxes boxes;
    SettingsValues settings;
    settings.VXBTSecurityMode = 1;
    settings.ExtendedConversionMode = 1;
    FirstLaunchFlags flags;
    DataCollection collection(
        {port, pollingTimer, library, injector, tray, boxes, settings, flags});

    // Reopens the port after the device was lost, as the program's retry does.
    QTimer retry;
    retry.setInterval(100);
    QObject::connect(&retry, &QTimer::timeout, [&] {
        if (collection.dataCollectionStart(false)) {
            retry.stop();
        }
    });
    collection.setOnDeviceLost([&](const QString&) { retry.start(); });
    if (!collection.dataCollectionStart(true)) {
        std::fprintf(stderr, "cannot start: %s\n", qPrintable(boxes.shown.front().text));
        return 2;
    }

    // Now and then the user opens one of the program's menus: typing waits.
    QTimer userInMenu;
    QObject::connect(&userInMenu, &QTimer::timeout, [&] {
        injector.setHeld(true);
        QTimer::singleShot(1000, [&] { injector.setHeld(false); });
    });
    userInMenu.start(7000);

    const long rssAtStart = residentKilobytes();
    long rssHighest = rssAtStart;
    std::size_t backlogHighest = 0;
    Scanner scanner(line, seed);
    std::atomic<bool> abort = false;
    std::atomic<bool> scannerDone = false;
    const auto started = Clock::now();
    std::thread device([&] {
        scanner.run(started + std::chrono::seconds(seconds), abort);
        scannerDone = true;
    });

    // Runs until the scanner is done and everything it had acknowledged is typed.
    // A stall fails the run, not slowness: a loaded machine may type slowly, but
    // 30 s with no frame acknowledged and no key typed means nothing moves.
    std::pair<std::uint64_t, std::uint64_t> progress{0, 0};
    auto lastProgress = Clock::now();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        rssHighest = std::max(rssHighest, residentKilobytes());
        backlogHighest = std::max(backlogHighest, SendKeys::defaultBacklogLimit - injector.room());
        const std::size_t acknowledged = scanner.acknowledged().size();
        const std::pair now{scanner.framesAcknowledged(), injector.counts().typed};
        if (now != progress) {
            progress = now;
            lastProgress = Clock::now();
        }
        const bool stalled = Clock::now() - lastProgress > 30s;
        if (stalled) {
            abort = true;
        }
        if ((scannerDone && injector.waitUntilTypedFor(0ms) &&
             typedMessages(record->events()).size() >= acknowledged) ||
            stalled) {
            application.quit();
        }
    });
    watch.start(250);
    application.exec();
    device.join();
    injector.waitUntilTypedFor(5s);

    const std::vector<QByteArray> sent = scanner.acknowledged();
    const std::vector<QByteArray> typed = typedMessages(record->events());
    const Faults& faults = scanner.faults();
    const ReceiveTrace::Counts& counts = collection.trace().counts(0);
    std::printf("seed %u, %d s: %zu messages acknowledged, %zu typed\n", seed, seconds, sent.size(),
                typed.size());
    std::printf("frames sent %llu: flipped %llu, byte dropped %llu, garbage before %llu, "
                "sent twice %llu; replies lost %llu; NAK %llu, time-outs %llu; unplugged %llu\n",
                static_cast<unsigned long long>(faults.framesSent),
                static_cast<unsigned long long>(faults.flips),
                static_cast<unsigned long long>(faults.drops),
                static_cast<unsigned long long>(faults.garbage),
                static_cast<unsigned long long>(faults.duplicates),
                static_cast<unsigned long long>(faults.repliesLost),
                static_cast<unsigned long long>(faults.naks),
                static_cast<unsigned long long>(faults.timeouts),
                static_cast<unsigned long long>(faults.unplugs));
    std::printf("receiver: frames accepted %llu, duplicates %llu, results by code:",
                static_cast<unsigned long long>(counts.framesAccepted),
                static_cast<unsigned long long>(counts.duplicates));
    for (std::size_t code = 1; code < counts.errors.size(); ++code) {
        std::printf(" %zu: %llu", code, static_cast<unsigned long long>(counts.errors[code]));
    }
    std::printf("\n");
    std::printf("typing backlog: at most %zu of %zu keys\n", backlogHighest,
                SendKeys::defaultBacklogLimit);
    std::printf("resident memory: %ld kB at start, %ld kB at most\n", rssAtStart, rssHighest);

    if (abort) {
        std::printf("FAILED: nothing was acknowledged or typed for 30 s\n");
    }
    if (typed != sent) {
        std::size_t at = 0;
        while (at < std::min(typed.size(), sent.size()) && typed[at] == sent[at]) {
            ++at;
        }
        std::printf("FAILED: typed differs from acknowledged at message %zu\n", at);
        for (std::size_t i = at; i < at + 2; ++i) {
            std::printf("  acknowledged %zu: %.60s\n  typed        %zu: %.60s\n", i,
                        i < sent.size() ? sent[i].constData() : "-", i,
                        i < typed.size() ? typed[i].constData() : "-");
        }
    }
    if (abort || typed != sent) {
        return 1;
    }
    std::printf("every acknowledged message typed exactly once, in order\n");
    return 0;
}
