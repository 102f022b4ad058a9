#pragma once

#include "platform/serial_devices.hpp"

#include <QFileSystemWatcher>
#include <QTimer>

namespace vxorv {

// The serial devices Qt's serial port enumeration finds (ttyUSB, ttyACM,
// rfcomm, real ttyS), named by /dev/serial/by-id where udev made a link, and
// by their Bluetooth address for rfcomm. Watches /dev for devices coming and
// going; the list is read again shortly after a change.
class QtSerialDeviceList final : public SerialDeviceList {
  public:
    QtSerialDeviceList();

    std::vector<SerialDevice> devices() const override { return m_devices; }
    void setOnChange(std::function<void()> handler) override { m_onChange = std::move(handler); }

  private:
    static std::vector<SerialDevice> enumerate();
    void watchFolders();
    void refresh();

    std::vector<SerialDevice> m_devices;
    std::function<void()> m_onChange;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

} // namespace vxorv
