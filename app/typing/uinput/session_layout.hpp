#pragma once

#include "typing/uinput/layout_keys.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vxorv::uinput {

// The keymap, in XKB text form, that the Wayland compositor (WAYLAND_DISPLAY)
// sends to its clients' keyboards: the layout it applies to the key codes of
// every keyboard, virtual ones included. nullopt with `problem` set when no
// compositor answers or its seat has no keyboard yet.
std::optional<std::string> compositorKeymap(std::string& problem);

// The keymap compiled from XKB names (empty fields from XKB_DEFAULT_* and
// then libxkbcommon's defaults), in XKB text form.
std::optional<std::string> keymapText(const XkbNames& names, std::string& problem);

// The keymap the session applies to our keys, in XKB text form: the
// XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT and _OPTIONS variables when any
// is set (the user's override), else the compositor's keymap in a Wayland
// session, else libxkbcommon's default ("us"), which is also what a compositor
// applies to a new keyboard when nothing is configured.
std::optional<std::string> sessionKeymap(std::string& problem);

// The session's keymap as LayoutKeys; null with `problem` set when it cannot
// be compiled.
std::unique_ptr<LayoutKeys> sessionLayout(std::string& problem);

} // namespace vxorv::uinput
