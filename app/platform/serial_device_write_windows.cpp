#include "platform/serial_device_write.hpp"

#include <windows.h>

namespace vxorv {
namespace {

// How long a write may wait for the line before it counts as full: what a
// device that reads at all takes of a reply.
constexpr DWORD lineFullAfterMs = 500;

DeviceWrite failed(DWORD error) {
    return {DeviceWrite::Outcome::Failed, qt_error_string(static_cast<int>(error))};
}

} // namespace

// QSerialPort opens the port for overlapped I/O: the write is started, given a
// moment to complete, and cancelled when the line does not take it.
DeviceWrite writeToDevice(SerialHandle handle, QByteArrayView bytes) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) {
        return failed(GetLastError());
    }
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    BOOL done = WriteFile(handle, bytes.data(), size, nullptr, &overlapped);
    DWORD error = done ? ERROR_SUCCESS : GetLastError();
    if (!done && error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(overlapped.hEvent, lineFullAfterMs) != WAIT_OBJECT_0) {
            CancelIoEx(handle, &overlapped);
        }
        done = GetOverlappedResult(handle, &overlapped, &written, TRUE);
        error = done ? ERROR_SUCCESS : GetLastError();
    } else if (done) {
        GetOverlappedResult(handle, &overlapped, &written, FALSE);
    }
    CloseHandle(overlapped.hEvent);
    if (done && written == size) {
        return {DeviceWrite::Outcome::Written, {}};
    }
    if (done || error == ERROR_OPERATION_ABORTED) {
        return {DeviceWrite::Outcome::LineFull, {}};
    }
    return failed(error);
}

// The driver reports that bytes were lost, not how many.
std::optional<std::int64_t> bytesDroppedByDriver(SerialHandle) {
    return std::nullopt;
}

} // namespace vxorv
