#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <functional>

namespace vxorv::testing {

// A pseudo-terminal whose slave side is a serial port for the code under test
// and whose master side the test holds as the remote device. Closing the
// master makes the device vanish.
class PseudoTerminal {
  public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    void write(const QByteArray& bytes);
    // Writes what the line takes now, without waiting; returns how much.
    qsizetype tryWrite(QByteArrayView bytes);
    // Bytes the code under test has written and the master can read now.
    int readable() const;
    // Waits, without running the event loop, until the master can read: so
    // only bytes the code under test has already handed to the kernel count.
    bool waitReadable(std::chrono::milliseconds timeout) const;
    QByteArray readAvailable();
    void closeMaster();
    // Stops or restarts the line towards the master, as a remote device
    // that does not read does: the code under test's writes then fail.
    void stopOutput(bool stop);

  private:
    int m_master = -1;
    int m_slave = -1; // kept open so that the slave survives until the port opens
    QString m_slavePath;
};

// Runs the Qt event loop until `done` returns true or `timeout` passes;
// returns the last value of `done`.
bool processEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace vxorv::testing
