#include "shell/termination_signals.hpp"

namespace vxorv {

// Windows sends a program without a console no termination signal: the end of
// the session arrives as the session-end request, which the program handles,
// and an ended task is stopped without notice. Nothing to listen for.
TerminationSignals::TerminationSignals(std::function<void()> handler)
    : m_handler(std::move(handler)) {}

TerminationSignals::~TerminationSignals() = default;

} // namespace vxorv
