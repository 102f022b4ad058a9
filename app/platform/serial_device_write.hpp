#pragma once

#include <QByteArrayView>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

namespace vxorv {

// The native handle of an open QSerialPort: a file descriptor, or a HANDLE.
using SerialHandle = decltype(std::declval<const QSerialPort&>().handle());

// What became of bytes written straight to an open serial device.
struct DeviceWrite {
    enum class Outcome {
        Written,  // all of them
        LineFull, // not all: the device does not take more now
        Failed,   // the device is gone or broken
    };
    Outcome outcome = Outcome::Failed;
    QString reason; // Failed: the system's description
};

// Writes `bytes` at once to the device behind an open QSerialPort's native
// handle, past its buffer, without waiting for a device that does not read.
DeviceWrite writeToDevice(SerialHandle handle, QByteArrayView bytes);

// The driver's running count of received bytes it dropped because its buffer
// overflowed; none where the driver keeps no such count (pseudo-terminals,
// some adapters).
std::optional<std::int64_t> bytesDroppedByDriver(SerialHandle handle);

} // namespace vxorv
