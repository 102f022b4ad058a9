#pragma once

#include <QString>

namespace vxorv {

// What a path that a port number is mapped to turns out to be.
enum class SerialDeviceKind {
    Missing,      // nothing there (or a dangling link)
    Directory,    // a folder
    NotADevice,   // a regular file, a pipe, a socket
    NotATerminal, // a device, but not a serial one (/dev/null)
    SerialPort,   // a terminal device: a serial port, USB or Bluetooth serial, pseudo-terminal
    CannotTell,   // a device this user may not open, so unknown
};

// Looks at `path` (links followed) without disturbing a serial port: the
// kernel's device classes say what a device is; only a device they do not
// know (a pseudo-terminal) is opened, without becoming its controlling terminal.
SerialDeviceKind serialDeviceKind(const QString& path);

// For a path that exists but cannot be a serial port: says so in words and
// what it is; empty for every other kind.
QString notASerialPortReason(const QString& path, SerialDeviceKind kind);

// Why the system refused this user `path`, which exists, and what to do.
QString accessDeniedReason(const QString& path);

} // namespace vxorv
