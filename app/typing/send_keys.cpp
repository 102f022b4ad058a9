#include "typing/send_keys.hpp"

#include <QLoggingCategory>

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

SendKeys::SendKeys(std::unique_ptr<KeystrokeBackend> backend, QString unavailableReason)
    : m_backend(std::move(backend)), m_unavailableReason(std::move(unavailableReason)) {
    if (m_backend) {
        m_thread = std::thread([this] { typingLoop(); });
    }
}

SendKeys::~SendKeys() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_queued.notify_one();
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
        m_queue.insert(m_queue.end(), parsed.events.begin(), parsed.events.end());
    }
    m_queued.notify_one();
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
        m_queued.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_queue.empty()) {
            return; // stopping, and everything is typed
        }
        m_typing = true;
        while (!m_queue.empty()) {
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
