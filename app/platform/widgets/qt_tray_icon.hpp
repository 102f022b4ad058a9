#pragma once

#include "platform/tray_icon.hpp"

#include <QIcon>
#include <QSystemTrayIcon>

#include <functional>

class QMenu;

namespace vxorv {

// The notification-area icon on QSystemTrayIcon. The first update adds it,
// later ones change it; removal takes it away. Tips are cut to 63 characters.
class QtTrayIcon final : public TrayIcon {
  public:
    QtTrayIcon(QIcon started, QIcon stopped);

    void trayIconUpdate(Picture picture, const QString& tip) override;
    void trayIconRemove() override;

    // Shows `text` in a balloon from the icon and returns true, or returns
    // false when the icon is not shown or the desktop has no balloons.
    bool showBalloon(const QString& text);

    // The menu the right button opens; its aboutToShow is the moment to set
    // its items.
    void setContextMenu(QMenu* menu) { m_icon.setContextMenu(menu); }
    // Called for a left-button click.
    void setOnLeftClick(std::function<void()> handler) { m_onLeftClick = std::move(handler); }

    static constexpr int maxTipLength = 63;

  private:
    QSystemTrayIcon m_icon;
    QIcon m_started;
    QIcon m_stopped;
    std::function<void()> m_onLeftClick;
};

} // namespace vxorv
