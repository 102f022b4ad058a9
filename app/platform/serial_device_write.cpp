#include "platform/serial_device_write.hpp"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vxorv {

// QSerialPort opens the device non-blocking: a full line is EAGAIN or a
// short write.
DeviceWrite writeToDevice(SerialHandle handle, QByteArrayView bytes) {
    ssize_t written = -1;
    do {
        written = ::write(handle, bytes.data(), static_cast<std::size_t>(bytes.size()));
    } while (written < 0 && errno == EINTR);
    if (written == bytes.size()) {
        return {DeviceWrite::Outcome::Written, {}};
    }
    if (written >= 0 || errno == EAGAIN) {
        return {DeviceWrite::Outcome::LineFull, {}};
    }
    return {DeviceWrite::Outcome::Failed, qt_error_string(errno)};
}

std::optional<std::int64_t> bytesDroppedByDriver(SerialHandle handle) {
    serial_icounter_struct counts{};
    if (::ioctl(handle, TIOCGICOUNT, &counts) != 0) {
        return std::nullopt;
    }
    return std::int64_t{counts.overrun} + counts.buf_overrun;
}

} // namespace vxorv
