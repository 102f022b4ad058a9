#include "shell/own_focus_watch.hpp"

#include <QApplication>
#include <QWindow>

namespace vxorv {

OwnFocusWatch::OwnFocusWatch(std::function<void(bool)> onChange) : m_onChange(std::move(onChange)) {
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { update(); });
    // A window that closes or is destroyed can leave the focus without a
    // focus change being announced.
    qApp->installEventFilter(this);
}

void OwnFocusWatch::watchMenu(QMenu& menu) {
    connect(&menu, &QMenu::aboutToShow, this, [this] {
        ++m_menusOpen;
        update();
    });
    // The menu is still shown and focused when it says it is about to hide.
    connect(&menu, &QMenu::aboutToHide, this, [this] {
        --m_menusOpen;
        updateSoon();
    });
}

bool OwnFocusWatch::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Hide:
    case QEvent::Close:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        updateSoon();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void OwnFocusWatch::updateSoon() {
    if (!m_updatePending) {
        m_updatePending = true;
        QMetaObject::invokeMethod(
            this, [this] { update(); }, Qt::QueuedConnection);
    }
}

void OwnFocusWatch::update() {
    m_updatePending = false;
    // A hidden window may stay the focus window when the focus went back to
    // another program's window.
    const QWindow* focus = QGuiApplication::focusWindow();
    const bool ours = m_menusOpen > 0 || (focus && focus->isVisible()) ||
                      QApplication::activePopupWidget() != nullptr;
    if (ours != m_ours) {
        m_ours = ours;
        m_onChange(ours);
    }
}

} // namespace vxorv
