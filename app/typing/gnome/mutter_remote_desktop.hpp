#pragma once

#include "typing/gnome/remote_desktop.hpp"

#include <QDBusConnection>
#include <QString>

#include <memory>
#include <string>

namespace vxorv::gnome {

// A remote-desktop session of GNOME's compositor, on a session-bus connection
// of its own. The compositor ends the session when that connection closes, so
// both are kept for the life of the object. The calls block until the
// compositor answers (or for a few seconds at most); any one thread may make
// them.
class MutterRemoteDesktop final : public RemoteDesktop {
  public:
    // Null with `problem` set when there is no session bus or the compositor
    // offers no remote-desktop session (not a GNOME session).
    static std::unique_ptr<MutterRemoteDesktop> open(std::string& problem);
    ~MutterRemoteDesktop() override;

    MutterRemoteDesktop(const MutterRemoteDesktop&) = delete;
    MutterRemoteDesktop& operator=(const MutterRemoteDesktop&) = delete;

    bool keysym(std::uint32_t keysym, bool down) override;
    std::string failure() const override { return m_failure; }

  private:
    MutterRemoteDesktop(QDBusConnection connection, QString sessionPath);

    QDBusConnection m_connection;
    QString m_sessionPath;
    std::string m_failure; // set on the typing thread only
};

} // namespace vxorv::gnome
