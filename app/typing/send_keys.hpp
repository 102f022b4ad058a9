#pragma once

#include "typing/keystroke_backend.hpp"
#include "typing/keystroke_injector.hpp"
#include "typing/keystroke_parser.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vxorv {

// What one message (one sendKeys call) left untyped.
struct UntypedKeys {
    std::vector<KeyEvent> keys; // in order; the rest of the message once the backend failed
    std::string failure;        // the backend's failure() when it had failed, else empty
};

// "3 keys could not be typed: Ж (U+0416), ..." naming each distinct key
// once, and the backend's failure when there was one.
QString describeUntyped(const UntypedKeys& untyped);

// The keystroke injector: parses keystroke strings into key events and types
// them on its own thread through a backend, in order, so that the serial port
// and its replies never wait for typing. Keys leave the queue only by being
// typed or by discardPending. A key the backend cannot type is skipped, never
// replaced, and reported with the rest of its message's; once the backend
// has failed, nothing more is typed and every key is reported. The backend
// hears of each message before its first key (beginMessage), and its idle()
// is called whenever the queue runs empty or typing is held.
class SendKeys final : public KeystrokeInjector {
  public:
    struct Counts {
        std::uint64_t typed = 0;           // events the backend typed
        std::uint64_t refused = 0;         // events not typed (see UntypedKeys)
        std::uint64_t ignoredControls = 0; // control characters that type nothing
        std::uint64_t discarded = 0;       // events dropped untyped
    };
    // Called on the typing thread once each message that left keys untyped
    // has been typed.
    using UntypedHandler = std::function<void(const UntypedKeys&)>;

    // A few of the longest messages the link carries.
    static constexpr std::size_t defaultBacklogLimit = 4 * 4096;

    // A null backend means that no way to type exists; `unavailableReason`
    // then says what is missing and how to fix it, and sendKeys types nothing.
    explicit SendKeys(std::unique_ptr<KeystrokeBackend> backend, QString unavailableReason = {},
                      std::size_t backlogLimit = defaultBacklogLimit);
    // Discards what is not yet typed, finishes the key being typed and stops
    // the typing thread.
    ~SendKeys() override;

    SendKeys(const SendKeys&) = delete;
    SendKeys& operator=(const SendKeys&) = delete;

    // Set before the first sendKeys.
    void setOnUntyped(UntypedHandler handler) { m_onUntyped = std::move(handler); }

    // False also once the backend has failed; the reason is then its failure.
    bool available() const override;
    QString unavailableReason() const override;
    std::size_t room() const override;
    void sendKeys(const QString& keystrokes) override;
    std::size_t discardPending() override;

    // While held, no key is typed; the backlog keeps what arrives until it
    // is full. For the times when the keyboard focus is in a window of ours.
    void setHeld(bool held);

    // Blocks until everything queued so far is typed and the backend is idle.
    void waitUntilTyped();
    // As waitUntilTyped, giving up after `timeout`; true when all was typed.
    bool waitUntilTypedFor(std::chrono::milliseconds timeout);

    Counts counts() const;

  private:
    void typingLoop();
    // A key of the queue with the number of the message it belongs to.
    struct QueuedKey {
        KeyEvent event;
        std::uint64_t message = 0;
    };
    bool allTyped() const;                  // m_mutex held
    std::size_t dropQueue(const char* why); // m_mutex held
    void startMessage(std::unique_lock<std::mutex>& lock);
    void reportUntyped(std::unique_lock<std::mutex>& lock, UntypedKeys untyped);

    std::unique_ptr<KeystrokeBackend> m_backend;
    QString m_unavailableReason;
    KeystrokeParser m_parser; // used by the caller's thread only
    const std::size_t m_backlogLimit;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // keys queued, hold released, or stopping
    std::condition_variable m_drained;
    std::deque<QueuedKey> m_queue;
    std::uint64_t m_messagesQueued = 0;
    std::uint64_t m_messageTyping = 0; // the message whose keys are being typed
    UntypedKeys m_untyped;             // what it has left untyped so far
    std::string m_failure;             // the backend's, once it failed
    UntypedHandler m_onUntyped;
    bool m_typing = false; // the typing thread holds events taken from the queue
    bool m_held = false;
    bool m_stopping = false;
    Counts m_counts;
    std::thread m_thread;
};

} // namespace vxorv
