#pragma once

#include <atomic>
#include <cstdint>

namespace vxbt {

// A re-entrant lock that lives in static storage and needs no set-up or
// tear-down, so it is safe to take for a channel that was never opened or was
// closed. The uncontended path costs one compare-exchange to take and one
// release store to give back (a general recursive mutex costs about twice the
// whole receiver per byte). Contention only arises when a second thread takes
// messages while bytes are being fed; a waiter then yields and, if the holder
// keeps the lock longer (a transmit callback blocked on a slow line), sleeps
// briefly between tries instead of spinning hot.
class ReentrantLock {
public:
    constexpr ReentrantLock() = default;
    ReentrantLock(const ReentrantLock&) = delete;
    ReentrantLock& operator=(const ReentrantLock&) = delete;

    void lock() noexcept {
        const std::uintptr_t me = this_thread_token();
        // Only this thread ever stores its own token, so seeing it means it holds the lock.
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        std::uintptr_t expected = 0;
        if (!owner_.compare_exchange_strong(expected, me, std::memory_order_acquire,
                                            std::memory_order_relaxed)) {
            lock_contended(me);
        }
    }

    void unlock() noexcept {
        if (depth_ > 0) {
            --depth_;
            return;
        }
        owner_.store(0, std::memory_order_release);
    }

private:
    // A non-zero number unique to the calling thread while it lives.
    static std::uintptr_t this_thread_token() noexcept {
        static thread_local char marker;
        return reinterpret_cast<std::uintptr_t>(&marker);
    }

    void lock_contended(std::uintptr_t me) noexcept;

    std::atomic<std::uintptr_t> owner_{0}; // token of the holding thread, 0 when free
    unsigned depth_ = 0;                   // extra entries by the holder; touched only by it
};

class LockGuard {
public:
    explicit LockGuard(ReentrantLock& lock) noexcept : lock_(lock) { lock_.lock(); }
    ~LockGuard() { lock_.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    ReentrantLock& lock_;
};

} // namespace vxbt
