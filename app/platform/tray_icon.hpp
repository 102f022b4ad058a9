#pragma once

#include <QString>

namespace vxorv {

// The notification-area icon: its picture and tip.
class TrayIcon {
  public:
    enum class Picture { imgStarted, imgStopped };

    virtual ~TrayIcon() = default;

    virtual void trayIconUpdate(Picture picture, const QString& tip) = 0;
    virtual void trayIconRemove() = 0;
};

} // namespace vxorv
