#pragma once

#include "typing/keystroke_backend.hpp"

#include <memory>
#include <string>

namespace vxorv {

// Types through KDE's fake input. The compositor applies its layout to our
// key codes as it does to a uinput keyboard's, so the uinput backend's
// mapping drives this device: each character is looked up in the
// compositor's keymap and refused when that layout cannot type it. Null with
// `problem` set when the compositor offers no fake input to this program.
std::unique_ptr<KeystrokeBackend> openKdeBackend(std::string& problem);

} // namespace vxorv
