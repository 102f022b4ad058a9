#pragma once

#include "typing/uinput/key_device.hpp"

#include <chrono>
#include <memory>
#include <string>

struct libevdev;
struct libevdev_uinput;

namespace vxorv::uinput {

// A virtual keyboard created through /dev/uinput, kept for the life of the
// object.
class UinputKeyDevice final : public KeyDevice {
  public:
    // Null with `problem` saying what is missing and how to fix it when
    // /dev/uinput cannot be opened or the device cannot be created.
    static std::unique_ptr<UinputKeyDevice> open(std::string& problem);
    ~UinputKeyDevice() override;

    UinputKeyDevice(const UinputKeyDevice&) = delete;
    UinputKeyDevice& operator=(const UinputKeyDevice&) = delete;

    bool key(EvdevCode code, bool down) override;

  private:
    using Clock = std::chrono::steady_clock;
    UinputKeyDevice(int fd, libevdev* device, libevdev_uinput* uinput);

    int m_fd;
    libevdev* m_device;
    libevdev_uinput* m_uinput;
    Clock::time_point m_readyAt; // when the system will have picked the device up
    int m_framesSincePause = 0;
};

} // namespace vxorv::uinput
