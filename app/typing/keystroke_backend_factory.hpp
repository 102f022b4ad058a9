#pragma once

#include "typing/keystroke_backend.hpp"

#include <functional>
#include <memory>
#include <string>

namespace vxorv {

struct KeystrokeBackendChoice {
    std::unique_ptr<KeystrokeBackend> backend; // null when nothing can type here
    std::string name;                          // "XTest" or "uinput"
    std::string problem;                       // when null: what is missing and how to fix it
};

// Chooses how to type on this desktop, once at start-up: XTest when an X
// display with the XTest extension is reachable, else a uinput virtual
// keyboard when /dev/uinput can be opened, else nothing. In a Wayland session
// (WAYLAND_DISPLAY set) uinput is tried first: XTest through Xwayland reaches
// X11 windows only, not the Wayland ones the user mostly types into.
KeystrokeBackendChoice chooseKeystrokeBackend();

// The same choice with the ways to open each backend given.
struct KeystrokeBackendOpeners {
    using Opener = std::function<std::unique_ptr<KeystrokeBackend>(std::string& problem)>;
    Opener xtest;
    Opener uinput;
    bool waylandSession = false;
};
KeystrokeBackendChoice chooseKeystrokeBackend(const KeystrokeBackendOpeners& openers);

} // namespace vxorv
