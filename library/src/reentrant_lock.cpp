#include "reentrant_lock.hpp"

#include <chrono>
#include <thread>

namespace vxbt {

void ReentrantLock::lock_contended(std::uintptr_t me) noexcept {
    constexpr unsigned yields_before_sleeping = 64;
    for (unsigned attempt = 0;; ++attempt) {
        if (attempt < yields_before_sleeping) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        std::uintptr_t expected = 0;
        if (owner_.compare_exchange_weak(expected, me, std::memory_order_acquire,
                                         std::memory_order_relaxed)) {
            return;
        }
    }
}

} // namespace vxbt
