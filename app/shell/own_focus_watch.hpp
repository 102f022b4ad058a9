#pragma once

#include <QMenu>
#include <QObject>

#include <functional>

namespace vxorv {

// Tells, whenever it changes, whether the keyboard focus is in one of this
// program's windows or menus. Typing waits while it is: scanned data must not
// press our own buttons and menu items.
class OwnFocusWatch final : public QObject {
  public:
    explicit OwnFocusWatch(std::function<void(bool ours)> onChange);

    // A menu opened for the notification-area icon takes the keyboard without
    // becoming the focus window; its opening is known before it is shown.
    void watchMenu(QMenu& menu);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void updateSoon();
    void update();

    std::function<void(bool)> m_onChange;
    int m_menusOpen = 0;
    bool m_ours = false;
    bool m_updatePending = false;
};

} // namespace vxorv
