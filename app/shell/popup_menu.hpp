#pragma once

#include "shell/shell.hpp"

#include <QMenu>

#include <functional>

namespace vxorv {

// The notification-area icon's popup menu. Start and Stop are enabled by the
// state at the moment the menu opens; the other items always are.
class PopupMenu final : public QMenu {
  public:
    struct Commands {
        std::function<PopupMenuState()> state;
        std::function<void()> start;
        std::function<void()> stop;
        std::function<void()> properties;
        std::function<void()> about;
        std::function<void()> exit;
    };

    explicit PopupMenu(Commands commands);

    // Sets Start and Stop; runs whenever the menu is about to show.
    void updateItems();

    QAction* startMenu = nullptr;
    QAction* stopMenu = nullptr;
    QAction* propertiesMenu = nullptr;
    QAction* sepMenu1 = nullptr;
    QAction* aboutMenu = nullptr;
    QAction* sepMenu2 = nullptr;
    QAction* exitMenu = nullptr;

  private:
    Commands m_commands;
};

} // namespace vxorv
