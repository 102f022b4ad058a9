#include "command.hpp"
#include "framing.hpp"

#include "platform/port_settings.hpp"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#include <istream>
#include <ostream>

namespace vxorv::vxbt {
namespace {

// After a NAK the wedge may have a full queue; its next polling tick (every
// 200 ms) empties it, so a repeat waits a little instead of failing at once.
constexpr int pauseAfterNakMs = 100;

std::vector<std::string> readMessages(std::istream& in, bool raw) {
    if (raw) {
        return {readAll(in)};
    }
    std::vector<std::string> messages;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        messages.push_back(line);
    }
    return messages;
}

class Sender {
  public:
    Sender(QSerialPort& port, int timeoutMs, int retries, std::ostream& err)
        : m_port(port), m_timeoutMs(timeoutMs), m_retries(retries), m_err(err) {}

    // Sends the frames of one message until each is acknowledged; false when
    // `retries` repeats were not enough. After a NAK for a later fragment the
    // message starts again from its first fragment: a receiver whose queue was
    // full when the last fragment came has dropped the whole message (a
    // fragment it had already accepted is acknowledged again as a duplicate).
    bool sendMessage(const std::vector<QByteArray>& frames, const std::string& message) {
        std::size_t next = 0;
        int repeats = 0;
        while (next < frames.size()) {
            const std::string what = message + ", frame " + std::to_string(next + 1) + " of " +
                                     std::to_string(frames.size());
            write(frames[next]);
            const std::uint8_t reply = awaitReply();
            if (reply == ACK) {
                ++next;
                continue;
            }
            if (++repeats > m_retries) {
                return false;
            }
            ++m_repeats;
            if (reply == NAK) {
                m_err << what << ": NAK, sending again\n";
                next = 0;
                QThread::msleep(pauseAfterNakMs);
            } else {
                m_err << what << ": no reply within " << m_timeoutMs << " ms, sending again\n";
            }
        }
        return true;
    }

    int repeats() const { return m_repeats; }

  private:
    void write(const QByteArray& frame) {
        m_port.clear(QSerialPort::Input); // a late reply to an earlier attempt
        if (m_port.write(frame) != frame.size() || !m_port.waitForBytesWritten(m_timeoutMs)) {
            throw Failure("writing to " + m_port.portName().toStdString() +
                          " failed: " + m_port.errorString().toStdString());
        }
    }

    // ACK, NAK, or 0 on time-out. Other bytes are line noise and are skipped.
    std::uint8_t awaitReply() {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < m_timeoutMs) {
            if (m_port.bytesAvailable() == 0 &&
                !m_port.waitForReadyRead(static_cast<int>(m_timeoutMs - elapsed.elapsed()))) {
                continue;
            }
            char byte = 0;
            while (m_port.getChar(&byte)) {
                const auto reply = static_cast<std::uint8_t>(byte);
                if (reply == ACK || reply == NAK) {
                    return reply;
                }
            }
        }
        return 0;
    }

    QSerialPort& m_port;
    int m_timeoutMs;
    int m_retries;
    std::ostream& m_err;
    int m_repeats = 0;
};

int runSend(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {"port", "baud", "timeout", "retries"}, {"raw"});
    const std::string device = options.text("port", "");
    if (device.empty()) {
        throw UsageError("--port DEVICE is required");
    }
    const auto baud = static_cast<std::int32_t>(options.number("baud", 1, 4000000, 9600));
    if (!parsePortSettings(QStringLiteral("%1,N,8,1").arg(baud), nullptr)) {
        throw UsageError("--baud " + std::to_string(baud) + " is not a supported speed");
    }
    const auto timeoutMs = static_cast<int>(options.number("timeout", 1, 60000, 1000));
    const auto retries = static_cast<int>(options.number("retries", 0, 100, 5));

    QSerialPort port;
    port.setPortName(QString::fromStdString(device));
    port.setBaudRate(baud);
    if (!port.open(QIODevice::ReadWrite)) {
        throw Failure("cannot open " + device + ": " + port.errorString().toStdString());
    }

    const std::vector<std::string> messages = readMessages(io.in, options.has("raw"));
    for (const std::string& message : messages) {
        if (message.size() > maxMessage) {
            throw UsageError("a message of " + std::to_string(message.size()) +
                             " bytes is longer than the 4096 a wedge accepts");
        }
    }

    Sender sender(port, timeoutMs, retries, io.err);
    FramingOptions framing;
    framing.restart = true; // the wedge takes our numbering, whatever it saw before
    std::size_t frames = 0;
    for (std::size_t m = 0; m < messages.size(); ++m) {
        const std::string& message = messages[m];
        const std::vector<QByteArray> messageFrames = frameMessage(
            QByteArrayView(message.data(), static_cast<qsizetype>(message.size())), framing);
        const std::string what =
            "message " + std::to_string(m + 1) + " (seq " + std::to_string(framing.firstSeq) + ")";
        if (!sender.sendMessage(messageFrames, what)) {
            throw Failure(what + " was never acknowledged: gave up after " +
                          std::to_string(retries) + " repeats");
        }
        frames += messageFrames.size();
        framing.firstSeq = static_cast<std::uint8_t>(framing.firstSeq + messageFrames.size());
        framing.restart = false;
    }
    io.out << "sent " << messages.size() << " messages in " << frames << " frames, all "
           << "acknowledged (" << sender.repeats() << " repeated)\n";
    return 0;
}

} // namespace

Command sendCommand() {
    return {"send", "--port DEVICE [--baud N] [--timeout MS] [--retries N] [--raw]",
            "Plays the remote device, for trying out a wedge: reads messages from standard\n"
            "input, one per line (without its line end), frames them (in fragments when\n"
            "longer than one frame holds), writes each frame to the serial port and waits\n"
            "for its one-byte reply. A frame is sent again when no reply comes in time; after\n"
            "a NAK the message is sent again from its first frame, 100 ms later. The first\n"
            "frame restarts the sequence numbering.\n"
            "Exits with status 1 and a message when a frame is never acknowledged.\n"
            "\n"
            "  --port DEVICE   serial device, such as /dev/ttyUSB0 or /dev/rfcomm0\n"
            "  --baud N        line speed (default 9600), 8 data bits, no parity, 1 stop bit\n"
            "  --timeout MS    time to wait for each reply, 1..60000 (default 1000)\n"
            "  --retries N     repeats per message before giving up, 0..100 (default 5)\n"
            "  --raw           send all of standard input as one message\n",
            runSend};
}

} // namespace vxorv::vxbt
