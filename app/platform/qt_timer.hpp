#pragma once

#include "platform/timer.hpp"

#include <QTimer>

namespace vxorv {

class QtTimer final : public Timer {
  public:
    QtTimer();

    std::chrono::milliseconds interval() const override { return m_timer.intervalAsDuration(); }
    void setInterval(std::chrono::milliseconds interval) override { m_timer.setInterval(interval); }
    bool enabled() const override { return m_timer.isActive(); }
    void setEnabled(bool enabled) override;
    void setOnTick(std::function<void()> handler) override { m_onTick = std::move(handler); }

  private:
    QTimer m_timer;
    std::function<void()> m_onTick;
};

} // namespace vxorv
