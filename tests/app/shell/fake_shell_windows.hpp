#pragma once

#include "shell/shell_windows.hpp"

#include <functional>
#include <optional>

namespace vxorv {

// Records what the shell does with its windows. The modal properties dialog
// runs `userInModalDialog` (what the user does there) before it returns.
class FakeShellWindows final : public ShellWindows {
  public:
    QString versionText;
    QString statusText;
    int mainShown = 0;
    int mainHidden = 0;
    int mainMinimized = 0;
    bool trayAvailable = true;
    int modalShown = 0;
    int modelessShown = 0;
    bool propertiesVisible = false;
    std::optional<int> endStatus;
    std::function<void()> userInModalDialog;

    void setVersionText(const QString& text) override { versionText = text; }
    void setStatusText(const QString& text) override { statusText = text; }
    void showMainWindow() override { ++mainShown; }
    void hideMainWindow() override { ++mainHidden; }
    void minimizeMainWindow() override { ++mainMinimized; }
    bool notificationAreaAvailable() const override { return trayAvailable; }
    void showPropertiesModal() override {
        ++modalShown;
        if (userInModalDialog) {
            userInModalDialog();
        }
    }
    void showPropertiesModeless() override {
        ++modelessShown;
        propertiesVisible = true;
    }
    bool isPropertiesVisible() const override { return propertiesVisible; }
    void endProgram(int status) override { endStatus = status; }
};

} // namespace vxorv
