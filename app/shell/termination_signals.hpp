#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace vxorv {

// SIGTERM, SIGHUP and SIGINT (the session, a task manager, Ctrl+C) end the
// program in an orderly way: the signal handler only writes a byte to a
// socket pair, and `handler` runs on the user-interface thread when the
// event loop sees it. One instance at a time.
class TerminationSignals {
  public:
    explicit TerminationSignals(std::function<void()> handler);
    ~TerminationSignals();

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    int m_sockets[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_handler;
};

} // namespace vxorv
