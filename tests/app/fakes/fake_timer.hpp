#pragma once

#include "platform/timer.hpp"

namespace vxorv {

// A timer that ticks when the test says so (only while enabled, as a real one).
class FakeTimer final : public Timer {
  public:
    void tick() {
        if (m_enabled && m_onTick) {
            m_onTick();
        }
    }

    std::chrono::milliseconds interval() const override { return m_interval; }
    void setInterval(std::chrono::milliseconds interval) override { m_interval = interval; }
    bool enabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    void setOnTick(std::function<void()> handler) override { m_onTick = std::move(handler); }

  private:
    std::chrono::milliseconds m_interval{0};
    bool m_enabled = false;
    std::function<void()> m_onTick;
};

} // namespace vxorv
