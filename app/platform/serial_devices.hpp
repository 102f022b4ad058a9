#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace vxorv {

// A serial device present on this machine, as a user recognises it.
struct SerialDevice {
    QString path;        // what a port is mapped to: the stable /dev/serial/by-id
                         // name of a USB device when there is one, else /dev/<name>
    QString systemPath;  // /dev/ttyUSB0, /dev/rfcomm0, ...
    QString description; // maker and product, "Bluetooth 00:11:22:33:44:55", ...

    bool operator==(const SerialDevice&) const = default;
};

// The serial devices present, following devices plugged in and out.
class SerialDeviceList {
  public:
    virtual ~SerialDeviceList() = default;

    virtual std::vector<SerialDevice> devices() const = 0;
    // Called on the user-interface thread after the list changed.
    virtual void setOnChange(std::function<void()> handler) = 0;
};

} // namespace vxorv
