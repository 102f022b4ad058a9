#pragma once

#include "typing/keystroke_backend.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vxorv {

struct KeystrokeBackendChoice {
    std::unique_ptr<KeystrokeBackend> backend; // null when nothing can type here
    std::string name;    // the chosen backend's name, as the setting spells it
    std::string problem; // when null: what each lacked and what to do
};

// One way to type: its name (what the [Typing] Backend setting names it by)
// and how to open it. An opener that cannot open its backend returns null
// and says in `problem` what is missing.
struct KeystrokeBackendOpener {
    using Open = std::function<std::unique_ptr<KeystrokeBackend>(std::string& problem)>;
    std::string name;
    Open open;
};

enum class DesktopSession { X11, Wayland };

// The value of the [Typing] Backend setting that lets the session decide.
inline const std::string automaticBackend = "auto";

// Chooses how to type on this desktop, once at start-up. `setting` is
// "auto" (any case) or the name of one backend, which alone is then tried.
//
// Automatically, in a Wayland session (WAYLAND_DISPLAY set): the virtual
// keyboard protocol, GNOME's remote desktop, KDE's fake input, then uinput.
// XTest is never chosen there: through Xwayland it reaches X11 windows only,
// and the user would lose everything typed at a Wayland window in silence.
// Elsewhere: XTest, then uinput.
KeystrokeBackendChoice chooseKeystrokeBackend(const std::string& setting);

// The same choice among the given openers (all there are, in any order).
KeystrokeBackendChoice chooseKeystrokeBackend(const std::vector<KeystrokeBackendOpener>& openers,
                                              DesktopSession session, const std::string& setting);

// Every backend this build has, each opened on its own and closed again: its
// name, and why it cannot type here (empty when it can). For diagnosis.
struct KeystrokeBackendCheck {
    std::string name;
    std::string problem;
};
std::vector<KeystrokeBackendCheck> checkKeystrokeBackends();

} // namespace vxorv
