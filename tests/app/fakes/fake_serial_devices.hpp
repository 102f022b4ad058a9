#pragma once

#include "platform/serial_devices.hpp"

namespace vxorv {

// Serial devices a test plugs in and out.
class FakeSerialDeviceList final : public SerialDeviceList {
  public:
    std::vector<SerialDevice> present;

    std::vector<SerialDevice> devices() const override { return present; }
    void setOnChange(std::function<void()> handler) override { m_onChange = std::move(handler); }

    void plug(const SerialDevice& device) {
        present.push_back(device);
        if (m_onChange) {
            m_onChange();
        }
    }

  private:
    std::function<void()> m_onChange;
};

} // namespace vxorv
