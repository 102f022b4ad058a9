#include "platform/single_instance.hpp"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QThread>
#include <QWinEventNotifier>

#include <windows.h>

namespace vxorv {
namespace {

// Names of the user's session ("Local\"): another user's copy is no rival.
std::wstring objectName(const QString& key, const wchar_t* suffix) {
    return L"Local\\" + key.toStdWString() + suffix;
}

} // namespace

// The running copy owns the mutex and waits on the event that a later start
// sets. Windows removes both when the last process holding them ends.
struct SingleInstance::Claim {
    explicit Claim(const QString& key)
        : mutexName(objectName(key, L"-running")), eventName(objectName(key, L"-show")) {}
    ~Claim() {
        notifier.reset();
        if (showEvent) {
            CloseHandle(showEvent);
        }
        if (mutex) {
            CloseHandle(mutex);
        }
    }

    std::wstring mutexName;
    std::wstring eventName;
    HANDLE mutex = nullptr;
    HANDLE showEvent = nullptr;
    std::unique_ptr<QWinEventNotifier> notifier;
};

SingleInstance::SingleInstance(const QString&, const QString& key)
    : m_claim(std::make_unique<Claim>(key)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString& settingsFile) {
    // The settings store lets a throw-away store (a test) run beside the
    // user's own copy; the session is the namespace of the names.
    return QStringLiteral("vxorv-") +
           QString::fromLatin1(
               QCryptographicHash::hash(settingsFile.toUtf8(), QCryptographicHash::Sha256)
                   .toHex()
                   .left(16));
}

QString SingleInstance::defaultDirectory() {
    return {}; // named kernel objects, no files
}

bool SingleInstance::claim() {
    m_claim->mutex = CreateMutexW(nullptr, FALSE, m_claim->mutexName.c_str());
    if (m_claim->mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(m_claim->mutex);
        m_claim->mutex = nullptr;
        return false;
    }
    m_claim->showEvent = CreateEventW(nullptr, FALSE, FALSE, m_claim->eventName.c_str());
    if (m_claim->showEvent) {
        m_claim->notifier = std::make_unique<QWinEventNotifier>(m_claim->showEvent);
        QObject::connect(m_claim->notifier.get(), &QWinEventNotifier::activated, [this] {
            if (m_onActivation) {
                m_onActivation();
            }
        });
    }
    return true;
}

bool SingleInstance::activateRunningCopy(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        if (HANDLE showEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, m_claim->eventName.c_str())) {
            const bool set = SetEvent(showEvent) != 0;
            CloseHandle(showEvent);
            return set;
        }
        QThread::msleep(100); // the running copy may be about to create it
    }
    return false;
}

} // namespace vxorv
