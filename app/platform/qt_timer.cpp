#include "platform/qt_timer.hpp"

namespace vxorv {

QtTimer::QtTimer() {
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (m_onTick) {
            m_onTick();
        }
    });
}

void QtTimer::setEnabled(bool enabled) {
    if (enabled && !m_timer.isActive()) {
        m_timer.start();
    } else if (!enabled) {
        m_timer.stop();
    }
}

} // namespace vxorv
