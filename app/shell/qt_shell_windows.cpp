#include "shell/qt_shell_windows.hpp"

#include <QCoreApplication>
#include <QLabel>
#include <QSystemTrayIcon>

namespace vxorv {

QtShellWindows::QtShellWindows(Form1& form, const PropertiesParts& propertiesParts)
    : m_form(form), m_propertiesParts(propertiesParts) {}

void QtShellWindows::setVersionText(const QString& text) {
    m_form.lblVxbtDllVersion->setText(text);
}

void QtShellWindows::setStatusText(const QString& text) {
    // One line: what does not fit is cut at the end, the whole is in the tooltip.
    QLabel* status = m_form.lblStatus;
    status->setText(status->fontMetrics().elidedText(text, Qt::ElideRight, status->width()));
    status->setToolTip(text);
}

void QtShellWindows::showMainWindow() {
    m_form.showNormal();
    m_form.raise();
    m_form.activateWindow();
}

void QtShellWindows::hideMainWindow() {
    m_form.hide();
}

void QtShellWindows::minimizeMainWindow() {
    m_form.showMinimized();
}

bool QtShellWindows::notificationAreaAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtShellWindows::raiseOpenDialog() {
    if (!m_dialog) {
        return false;
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
    return true;
}

frmProperties* QtShellWindows::createDialog() {
    m_dialog = new frmProperties(m_propertiesParts);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    return m_dialog;
}

void QtShellWindows::showPropertiesModal() {
    if (raiseOpenDialog()) {
        return;
    }
    createDialog()->exec();
}

void QtShellWindows::showPropertiesModeless() {
    if (raiseOpenDialog()) {
        return;
    }
    frmProperties* dialog = createDialog();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

bool QtShellWindows::isPropertiesVisible() const {
    return m_dialog && m_dialog->isVisible();
}

void QtShellWindows::endProgram(int status) {
    m_exitStatus = status;
    m_form.allowClose();
    QCoreApplication::exit(status);
}

} // namespace vxorv
