#include "typing/send_keys.hpp"

#include <QLoggingCategory>
#include <QStringList>

#include <algorithm>
#include <string>
#include <utility>

namespace vxorv {

Q_LOGGING_CATEGORY(lcKeys, "vxorv.keys", QtWarningMsg)

namespace {

QString describe(const KeyEvent& event) {
    const QString key = event.kind == KeyEvent::Kind::Character
                            ? QString::fromUcs4(&event.character, 1) +
                                  QStringLiteral(" (U+%1)").arg(
                                      static_cast<quint32>(event.character), 4, 16, QChar(u'0'))
                            : QStringLiteral("named key %1").arg(static_cast<int>(event.key));
    return event.ctrl ? QStringLiteral("Ctrl+") + key : key;
}

} // namespace

QString describeUntyped(const UntypedKeys& untyped) {
    if (untyped.keys.empty()) {
        return QStringLiteral("Typing stopped: %1. Keys typed just before may be lost.")
            .arg(QString::fromStdString(untyped.failure));
    }
    QStringList distinct;
    for (const KeyEvent& event : untyped.keys) {
        const QString key = describe(event);
        if (!distinct.contains(key)) {
            distinct.append(key);
        }
    }
    const std::size_t count = untyped.keys.size();
    QString text =
        QStringLiteral("%1 key%2 could not be typed: ").arg(count).arg(count == 1 ? "" : "s") +
        distinct.join(QStringLiteral(", "));
    if (!untyped.failure.empty()) {
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(untyped.failure));
    }
    return text;
}

SendKeys::SendKeys(std::unique_ptr<KeystrokeBackend> backend, QString unavailableReason,
                   std::size_t backlogLimit)
    : m_backend(std::move(backend)), m_unavailableReason(std::move(unavailableReason)),
      m_backlogLimit(backlogLimit) {
    if (m_backend) {
        m_thread = std::thread([this] { typingLoop(); });
    }
}

SendKeys::~SendKeys() {
    {
        std::lock_guard lock(m_mutex);
        dropQueue("the program ends");
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool SendKeys::available() const {
    std::lock_guard lock(m_mutex);
    return m_backend != nullptr && m_failure.empty();
}

QString SendKeys::unavailableReason() const {
    std::lock_guard lock(m_mutex);
    return m_failure.empty() ? m_unavailableReason : QString::fromStdString(m_failure);
}

std::size_t SendKeys::room() const {
    std::lock_guard lock(m_mutex);
    return m_backlogLimit - std::min(m_queue.size(), m_backlogLimit);
}

void SendKeys::sendKeys(const QString& keystrokes) {
    const std::u32string text = keystrokes.toStdU32String();
    KeystrokeParser::Result parsed = m_parser.parse(text);
    if (parsed.ignoredControls > 0) {
        qCDebug(lcKeys) << parsed.ignoredControls << "control character(s) typed nothing";
    }
    if (!m_backend) {
        qCWarning(lcKeys) << "no keystroke backend," << parsed.events.size()
                          << "key(s) not typed:" << m_unavailableReason;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_counts.ignoredControls += parsed.ignoredControls;
        if (m_queue.size() + parsed.events.size() > m_backlogLimit) {
            m_counts.discarded += parsed.events.size();
            qCWarning(lcKeys) << "the typing backlog is full," << parsed.events.size()
                              << "key(s) discarded";
            return;
        }
        ++m_messagesQueued;
        for (const KeyEvent& event : parsed.events) {
            m_queue.push_back({event, m_messagesQueued});
        }
    }
    m_wake.notify_one();
}

std::size_t SendKeys::discardPending() {
    std::size_t dropped = 0;
    {
        std::lock_guard lock(m_mutex);
        dropped = dropQueue("typing was stopped");
    }
    m_drained.notify_all();
    return dropped;
}

std::size_t SendKeys::dropQueue(const char* why) {
    const std::size_t dropped = m_queue.size();
    if (dropped > 0) {
        m_queue.clear();
        m_counts.discarded += dropped;
        qCWarning(lcKeys) << dropped << "key(s) not typed:" << why;
    }
    return dropped;
}

void SendKeys::setHeld(bool held) {
    {
        std::lock_guard lock(m_mutex);
        m_held = held;
    }
    m_wake.notify_one();
    qCDebug(lcKeys) << (held ? "typing held" : "typing resumed");
}

bool SendKeys::allTyped() const {
    return m_queue.empty() && !m_typing;
}

void SendKeys::waitUntilTyped() {
    std::unique_lock lock(m_mutex);
    m_drained.wait(lock, [this] { return allTyped() || !m_backend; });
}

bool SendKeys::waitUntilTypedFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_drained.wait_for(lock, timeout, [this] { return allTyped() || !m_backend; });
}

SendKeys::Counts SendKeys::counts() const {
    std::lock_guard lock(m_mutex);
    return m_counts;
}

void SendKeys::typingLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || (!m_held && !m_queue.empty()); });
        if (m_stopping) {
            return;
        }
        m_typing = true;
        // The hold and a stop take effect between two keys, never inside one.
        while (!m_queue.empty() && !m_held && !m_stopping) {
            if (m_queue.front().message != m_messageTyping) {
                startMessage(lock);
            }
            const KeyEvent event = m_queue.front().event;
            m_queue.pop_front();
            lock.unlock();
            const bool typed = m_failure.empty() && m_backend->type(event);
            std::string failure = typed ? std::string() : m_backend->failure();
            lock.lock();
            if (typed) {
                ++m_counts.typed;
            } else {
                ++m_counts.refused;
                m_untyped.keys.push_back(event);
                m_untyped.failure = m_failure = std::move(failure);
            }
        }
        const bool messageEnded = m_queue.empty() || m_queue.front().message != m_messageTyping;
        if (messageEnded && !m_untyped.keys.empty()) {
            reportUntyped(lock, std::exchange(m_untyped, {}));
        }
        lock.unlock();
        m_backend->idle();
        std::string failure = m_backend->failure();
        lock.lock();
        if (failure != m_failure) { // keys sent before it may have been lost with it
            m_failure = failure;
            reportUntyped(lock, {{}, std::move(failure)});
        }
        m_typing = false;
        m_drained.notify_all();
    }
}

// Reports what the previous message left untyped, and tells the backend of
// the message whose first key is at the front of the queue.
void SendKeys::startMessage(std::unique_lock<std::mutex>& lock) {
    if (!m_untyped.keys.empty()) {
        reportUntyped(lock, std::exchange(m_untyped, {}));
    }
    m_messageTyping = m_queue.front().message;
    std::vector<KeyEvent> message;
    for (const QueuedKey& key : m_queue) {
        if (key.message != m_messageTyping) {
            break;
        }
        message.push_back(key.event);
    }
    if (m_failure.empty()) {
        lock.unlock();
        m_backend->beginMessage(message);
        lock.lock();
    }
}

void SendKeys::reportUntyped(std::unique_lock<std::mutex>& lock, UntypedKeys untyped) {
    lock.unlock();
    qCWarning(lcKeys).noquote() << describeUntyped(untyped);
    if (m_onUntyped) {
        m_onUntyped(untyped);
    }
    lock.lock();
}

} // namespace vxorv
