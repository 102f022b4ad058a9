#pragma once

#include <chrono>
#include <functional>

namespace vxorv {

// A timer of the user-interface thread with an interval and an enabled flag.
class Timer {
  public:
    virtual ~Timer() = default;

    virtual std::chrono::milliseconds interval() const = 0;
    virtual void setInterval(std::chrono::milliseconds interval) = 0;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setOnTick(std::function<void()> handler) = 0;
};

} // namespace vxorv
