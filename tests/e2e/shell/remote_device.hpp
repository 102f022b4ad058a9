#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>

namespace vxorv::e2e {

// The remote scanner on a pseudo-terminal: the program opens the slave side
// through a fixed link (the device its port 1 is mapped to), this side holds
// the master. The device can vanish and come back on a new terminal.
class RemoteDevice {
  public:
    explicit RemoteDevice(QString linkPath);
    ~RemoteDevice();
    RemoteDevice(const RemoteDevice&) = delete;
    RemoteDevice& operator=(const RemoteDevice&) = delete;

    QString slavePath() const { return m_slavePath; }
    void vanish();
    void reappear();

    // Sends `message` as one framed data frame with the next sequence number
    // and returns the one-byte reply, or -1 when none came in time (a bound
    // on a hang: a loaded machine may answer late).
    int sendMessage(const QByteArray& message,
                    std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Sends a message of up to 4096 bytes in fragments; true when every
    // frame was acknowledged.
    bool sendFragmented(const QByteArray& message,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Sends bytes as they are.
    void writeRaw(const QByteArray& bytes);
    // Sends as much of `bytes` as the line takes within `wait`; how much.
    qsizetype offer(QByteArrayView bytes, std::chrono::milliseconds wait);
    // The next one-byte reply, or -1 when none came in time.
    int readByte(std::chrono::milliseconds timeout);

  private:
    void open();
    int sendFrame(std::uint8_t ctrl, const QByteArray& payload, std::chrono::milliseconds timeout);

    QString m_linkPath;
    QString m_slavePath;
    int m_master = -1;
    std::uint8_t m_sequence = 0;
};

// Whether process `pid` has `path` open (as its resolved device path).
bool processHasOpen(qint64 pid, const QString& path);

} // namespace vxorv::e2e
