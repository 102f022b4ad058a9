#include "typing/send_keys.hpp"

#include <QLoggingCategory>

#include <algorithm>
#include <string>

namespace vxorv {

Q_LOGGING_CATEGORY(lcKeys, "vxorv.keys", QtWarningMsg)

namespace {

QString describe(const KeyEvent& event) {
    const QString key =
        event.kind == KeyEvent::Kind::Character
            ? QStringLiteral("U+%1").arg(static_cast<quint32>(event.character), 4, 16, QChar(u'0'))
            : QStringLiteral("named key %1").arg(static_cast<int>(event.key));
    return event.ctrl ? QStringLiteral("Ctrl+") + key : key;
}

} // namespace

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
    return m_backend != nullptr;
}

QString SendKeys::unavailableReason() const {
    return m_unavailableReason;
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
        m_queue.insert(m_queue.end(), parsed.events.begin(), parsed.events.end());
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
            const KeyEvent event = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            const bool typed = m_backend->type(event);
            lock.lock();
            if (typed) {
                ++m_counts.typed;
            } else {
                ++m_counts.refused;
                qCWarning(lcKeys).noquote()
                    << "the keystroke backend could not type" << describe(event);
            }
        }
        lock.unlock();
        m_backend->idle();
        lock.lock();
        m_typing = false;
        m_drained.notify_all();
    }
}

} // namespace vxorv
