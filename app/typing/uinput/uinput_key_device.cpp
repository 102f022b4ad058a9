#include "typing/uinput/uinput_key_device.hpp"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace vxorv::uinput {

namespace {

constexpr const char* devicePath = "/dev/uinput";

// udev and the compositor (libinput) need a moment to notice a new input
// device; keys reported before that are lost.
constexpr auto settleTime = std::chrono::milliseconds(500);

// The kernel keeps only 64 events per reader of an input device and drops the
// rest when the reader (the compositor) falls behind, with no back-pressure on
// the writer. Pausing after every few frames keeps a burst well inside that
// buffer: 8 frames (4 keys) per millisecond is still thousands of keys a
// second.
constexpr int framesPerPause = 8;
constexpr auto pause = std::chrono::milliseconds(1);

std::string openProblem(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
        return std::string(devicePath) +
               " does not exist: load the uinput kernel module (\"modprobe uinput\", and add "
               "\"uinput\" to /etc/modules-load.d/ to keep it)";
    case EACCES:
    case EPERM:
        return std::string("no permission to open ") + devicePath +
               ": install the udev rule for the \"uinput\" group from the README and add "
               "yourself to that group, then log in again";
    default:
        return std::string("cannot open ") + devicePath + ": " + std::strerror(error);
    }
}

} // namespace

std::unique_ptr<UinputKeyDevice> UinputKeyDevice::open(std::string& problem) {
    const int fd = ::open(devicePath, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        problem = openProblem(errno);
        return nullptr;
    }
    libevdev* device = libevdev_new();
    libevdev_set_name(device, "VXORV virtual keyboard");
    libevdev_enable_event_type(device, EV_KEY);
    for (unsigned code = KEY_ESC; code <= highestKey; ++code) {
        libevdev_enable_event_code(device, EV_KEY, code, nullptr);
    }
    libevdev_uinput* uinput = nullptr;
    if (const int rc = libevdev_uinput_create_from_device(device, fd, &uinput); rc < 0) {
        problem = std::string("cannot create a virtual keyboard through ") + devicePath + ": " +
                  std::strerror(-rc);
        libevdev_free(device);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<UinputKeyDevice>(new UinputKeyDevice(fd, device, uinput));
}

UinputKeyDevice::UinputKeyDevice(int fd, libevdev* device, libevdev_uinput* uinput)
    : m_fd(fd), m_device(device), m_uinput(uinput), m_readyAt(Clock::now() + settleTime) {}

UinputKeyDevice::~UinputKeyDevice() {
    libevdev_uinput_destroy(m_uinput);
    libevdev_free(m_device);
    ::close(m_fd);
}

bool UinputKeyDevice::key(EvdevCode code, bool down) {
    std::this_thread::sleep_until(m_readyAt);
    if (++m_framesSincePause > framesPerPause) {
        std::this_thread::sleep_for(pause);
        m_framesSincePause = 1;
    }
    return libevdev_uinput_write_event(m_uinput, EV_KEY, code, down ? 1 : 0) == 0 &&
           libevdev_uinput_write_event(m_uinput, EV_SYN, SYN_REPORT, 0) == 0;
}

} // namespace vxorv::uinput
