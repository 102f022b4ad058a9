#include "typing/gnome/mutter_remote_desktop.hpp"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariant>

#include <atomic>

namespace vxorv::gnome {

namespace {

const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

// A compositor that does not answer within this is taken as gone, rather than
// holding up typing for the bus's default of 25 s per key.
constexpr int callTimeoutMs = 5000;

// A bus connection name not shared with anything else in the process.
QString uniqueConnectionName() {
    static std::atomic<int> count{0};
    return QStringLiteral("vxorv-remote-desktop-%1").arg(count.fetch_add(1));
}

QDBusMessage callSession(const QDBusConnection& connection, const QString& path,
                         const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, sessionInterface, method);
    message.setArguments(arguments);
    return connection.call(message, QDBus::Block, callTimeoutMs);
}

std::string describe(const QDBusMessage& error) {
    return (error.errorName() + QStringLiteral(": ") + error.errorMessage()).toStdString();
}

} // namespace

std::unique_ptr<MutterRemoteDesktop> MutterRemoteDesktop::open(std::string& problem) {
    const QString name = uniqueConnectionName();
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!connection.isConnected()) {
        problem = "no D-Bus session bus";
        QDBusConnection::disconnectFromBus(name);
        return nullptr;
    }
    const QDBusMessage created = connection.call(
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                       service, QStringLiteral("CreateSession")),
        QDBus::Block, callTimeoutMs);
    if (created.type() != QDBusMessage::ReplyMessage || created.arguments().isEmpty()) {
        problem = created.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown")
                      ? "GNOME's remote-desktop service is not running (not a GNOME session)"
                      : "GNOME refused a remote-desktop session (" + describe(created) + ")";
        QDBusConnection::disconnectFromBus(name);
        return nullptr;
    }
    const QString path = created.arguments().constFirst().value<QDBusObjectPath>().path();
    const QDBusMessage started = callSession(connection, path, QStringLiteral("Start"));
    if (started.type() != QDBusMessage::ReplyMessage) {
        problem = "GNOME's remote-desktop session did not start (" + describe(started) + ")";
        QDBusConnection::disconnectFromBus(name);
        return nullptr;
    }
    return std::unique_ptr<MutterRemoteDesktop>(new MutterRemoteDesktop(connection, path));
}

MutterRemoteDesktop::MutterRemoteDesktop(QDBusConnection connection, QString sessionPath)
    : m_connection(std::move(connection)), m_sessionPath(std::move(sessionPath)) {}

MutterRemoteDesktop::~MutterRemoteDesktop() {
    callSession(m_connection, m_sessionPath, QStringLiteral("Stop"));
    QDBusConnection::disconnectFromBus(m_connection.name());
}

bool MutterRemoteDesktop::keysym(std::uint32_t keysym, bool down) {
    if (!m_failure.empty()) {
        return false;
    }
    const QDBusMessage reply =
        callSession(m_connection, m_sessionPath, QStringLiteral("NotifyKeyboardKeysym"),
                    {QVariant::fromValue(keysym), QVariant(down)});
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return true;
    }
    // The compositor answers a keysym it cannot type with success, so an
    // error means that the session, the compositor or the bus is gone.
    m_failure = "lost GNOME's remote-desktop session (" + describe(reply) + ")";
    return false;
}

} // namespace vxorv::gnome
