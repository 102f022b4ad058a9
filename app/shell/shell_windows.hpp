#pragma once

#include <QString>

namespace vxorv {

// The windows the shell logic drives: the main window `Form1` and the
// properties dialog `frmProperties`, and the end of the program.
class ShellWindows {
  public:
    virtual ~ShellWindows() = default;

    virtual void setVersionText(const QString& text) = 0;
    // The status line under the window's content.
    virtual void setStatusText(const QString& text) = 0;
    virtual void showMainWindow() = 0;
    virtual void hideMainWindow() = 0;
    virtual void minimizeMainWindow() = 0;
    // False on a desktop without a notification area: the icon cannot be shown.
    virtual bool notificationAreaAvailable() const = 0;

    // Returns when the dialog has closed. At most one dialog exists: while
    // one is open, both bring it to the front instead.
    virtual void showPropertiesModal() = 0;
    virtual void showPropertiesModeless() = 0;
    virtual bool isPropertiesVisible() const = 0;

    // Ends the program with `status` once control is back in its event loop;
    // nothing of the shell runs after it.
    virtual void endProgram(int status) = 0;
};

} // namespace vxorv
