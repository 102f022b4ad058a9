#include "platform/widgets/qt_tray_icon.hpp"

namespace vxorv {

QtTrayIcon::QtTrayIcon(QIcon started, QIcon stopped)
    : m_started(std::move(started)), m_stopped(std::move(stopped)) {
    QObject::connect(&m_icon, &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger && m_onLeftClick) {
                             m_onLeftClick();
                         }
                     });
}

void QtTrayIcon::trayIconUpdate(Picture picture, const QString& tip) {
    m_icon.setIcon(picture == Picture::imgStarted ? m_started : m_stopped);
    m_icon.setToolTip(tip.left(maxTipLength));
    m_icon.show();
}

bool QtTrayIcon::showBalloon(const QString& text) {
    if (!m_icon.isVisible() || !QSystemTrayIcon::supportsMessages()) {
        return false;
    }
    m_icon.showMessage(QStringLiteral("VX Orvex"), text, QSystemTrayIcon::Warning);
    return true;
}

void QtTrayIcon::trayIconRemove() {
    m_icon.hide();
}

} // namespace vxorv
