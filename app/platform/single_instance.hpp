#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace vxorv {

// One running copy of the program per key. The running copy holds a lock
// file and listens on a local socket beside it; a later start finds the lock
// taken and asks the running copy, over the socket, to show itself. A copy
// that was killed leaves both files behind: its lock counts as stale once
// its process is gone, and its socket is removed before listening anew.
// (On Windows: a named mutex of the user's session and a named event that the
// later start sets; both vanish with the process.)
class SingleInstance {
  public:
    // `key` is a file name; the files live in `directory`, which only the
    // user may enter.
    SingleInstance(const QString& directory, const QString& key);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the running copy, or when the lock
    // cannot be created at all (it then runs unguarded, with a warning).
    bool claim();
    // What the running copy does when a later start asks for it; runs on the
    // user-interface thread.
    void setOnActivation(std::function<void()> handler) { m_onActivation = std::move(handler); }
    // A later start: asks the running copy to show itself. False when no
    // copy answers within `timeout`.
    bool activateRunningCopy(std::chrono::milliseconds timeout);

    // The key of the copy that uses `settingsFile` on the display this
    // process runs on, for the current user's runtime directory.
    static QString keyFor(const QString& settingsFile);
    static QString defaultDirectory();

  private:
    struct Claim; // what the running copy holds, per platform

    std::unique_ptr<Claim> m_claim;
    std::function<void()> m_onActivation;
};

} // namespace vxorv
