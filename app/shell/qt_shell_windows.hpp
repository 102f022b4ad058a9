#pragma once

#include "settings/dialog/frm_properties.hpp"
#include "shell/form1.hpp"
#include "shell/shell_windows.hpp"

#include <QPointer>

namespace vxorv {

// The main window and the properties dialog on Qt Widgets. The dialog is
// created when it opens, filled from the settings of that moment, and
// deleted when it closes.
class QtShellWindows final : public ShellWindows {
  public:
    QtShellWindows(Form1& form, const PropertiesParts& propertiesParts);
    // Takes an open dialog along: it refers to settings that end with the program.
    ~QtShellWindows() override { delete m_dialog; }
    QtShellWindows(const QtShellWindows&) = delete;
    QtShellWindows& operator=(const QtShellWindows&) = delete;

    void setVersionText(const QString& text) override;
    void setStatusText(const QString& text) override;
    void showMainWindow() override;
    void hideMainWindow() override;
    void minimizeMainWindow() override;
    bool notificationAreaAvailable() const override;
    void showPropertiesModal() override;
    void showPropertiesModeless() override;
    bool isPropertiesVisible() const override;
    void endProgram(int status) override;

    // The status endProgram was given.
    int exitStatus() const { return m_exitStatus; }
    // The dialog while it is open, else null.
    frmProperties* properties() const { return m_dialog; }

  private:
    // True when a dialog was already open and has been brought to the front.
    bool raiseOpenDialog();
    frmProperties* createDialog();

    Form1& m_form;
    PropertiesParts m_propertiesParts;
    QPointer<frmProperties> m_dialog;
    int m_exitStatus = 0;
};

} // namespace vxorv
