#include "platform/single_instance.hpp"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

namespace vxorv {
namespace {

Q_LOGGING_CATEGORY(lcInstance, "vxorv.instance", QtWarningMsg)

const QByteArray showRequest = QByteArrayLiteral("show\n");

void acceptRequests(QLocalServer& server, const std::function<void()>& onActivation) {
    while (QLocalSocket* socket = server.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto readRequest = [&onActivation, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == showRequest && onActivation) {
                    onActivation();
                }
            }
        };
        QObject::connect(socket, &QLocalSocket::readyRead, socket, readRequest);
        readRequest();
    }
}

} // namespace

struct SingleInstance::Claim {
    Claim(const QString& directory, const QString& key)
        : lock(directory + u'/' + key + QStringLiteral(".lock")),
          socketPath(directory + u'/' + key + QStringLiteral(".socket")) {}

    QLockFile lock;
    QString socketPath;
    QLocalServer server;
};

SingleInstance::SingleInstance(const QString& directory, const QString& key)
    : m_claim(std::make_unique<Claim>(directory, key)) {
    m_claim->lock.setStaleLockTime(0); // stale only when its process is gone, never by age
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString& settingsFile) {
    // The display names the session; the settings file lets a throw-away
    // store (a demo, a test) run beside the user's own copy.
    const QByteArray identity =
        qgetenv("WAYLAND_DISPLAY") + '\n' + qgetenv("DISPLAY") + '\n' + settingsFile.toUtf8();
    return QStringLiteral("vxorv-") +
           QString::fromLatin1(
               QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(16));
}

QString SingleInstance::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool SingleInstance::claim() {
    if (!m_claim->lock.tryLock(0)) {
        if (m_claim->lock.error() == QLockFile::LockFailedError) {
            return false; // held by a copy that runs
        }
        // A runtime directory that cannot be used must not keep the program from starting.
        qCWarning(lcInstance).noquote()
            << QStringLiteral("Cannot tell whether another copy runs: the lock file in %1 cannot "
                              "be created.")
                   .arg(QFileInfo(m_claim->socketPath).absolutePath());
        return true;
    }
    QLocalServer& server = m_claim->server;
    const QString& socketPath = m_claim->socketPath;
    QLocalServer::removeServer(socketPath); // left by a copy that was killed
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(socketPath)) {
        qCWarning(lcInstance).noquote()
            << QStringLiteral("A later start cannot reach this copy: listening on %1 failed: %2")
                   .arg(socketPath, server.errorString());
        return true;
    }
    QObject::connect(&server, &QLocalServer::newConnection,
                     [this] { acceptRequests(m_claim->server, m_onActivation); });
    return true;
}

bool SingleInstance::activateRunningCopy(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_claim->socketPath);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(showRequest);
            const bool sent =
                socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100); // the running copy may be about to listen
    }
    return false;
}

} // namespace vxorv
