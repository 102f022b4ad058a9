#include "shell/popup_menu.hpp"

namespace vxorv {

PopupMenu::PopupMenu(Commands commands) : m_commands(std::move(commands)) {
    setObjectName(QStringLiteral("popup"));
    auto add = [this](const QString& caption, const std::function<void()>& command) {
        QAction* action = addAction(caption);
        connect(action, &QAction::triggered, this, [command] { command(); });
        return action;
    };
    startMenu = add(QStringLiteral("&Start"), m_commands.start);
    stopMenu = add(QStringLiteral("Sto&p"), m_commands.stop);
    propertiesMenu = add(QStringLiteral("&Properties"), m_commands.properties);
    sepMenu1 = addSeparator();
    aboutMenu = add(QStringLiteral("&About"), m_commands.about);
    sepMenu2 = addSeparator();
    exitMenu = add(QStringLiteral("&Exit"), m_commands.exit);
    connect(this, &QMenu::aboutToShow, this, [this] { updateItems(); });
}

void PopupMenu::updateItems() {
    const PopupMenuState state = m_commands.state();
    stopMenu->setEnabled(state.stopEnabled);
    startMenu->setEnabled(state.startEnabled);
}

} // namespace vxorv
