#pragma once

#include "typing/keystroke_backend.hpp"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace vxorv {

// The named keys ({ENTER} ... {F16}) as Linux input key codes and as keysyms
// (XKB and X11 share their values), in NamedKey order: one table for every
// backend that speaks either.
inline constexpr std::array<std::uint16_t, 30> namedKeyEvdevCodes{
    KEY_ENTER,  KEY_TAB,      KEY_ESC, KEY_BACKSPACE, KEY_INSERT, KEY_DELETE, KEY_HOME, KEY_END,
    KEY_PAGEUP, KEY_PAGEDOWN, KEY_UP,  KEY_DOWN,      KEY_LEFT,   KEY_RIGHT,  KEY_F1,   KEY_F2,
    KEY_F3,     KEY_F4,       KEY_F5,  KEY_F6,        KEY_F7,     KEY_F8,     KEY_F9,   KEY_F10,
    KEY_F11,    KEY_F12,      KEY_F13, KEY_F14,       KEY_F15,    KEY_F16};

inline constexpr std::array<std::uint32_t, 30> namedKeyKeysyms{
    XKB_KEY_Return, XKB_KEY_Tab,  XKB_KEY_Escape, XKB_KEY_BackSpace, XKB_KEY_Insert,
    XKB_KEY_Delete, XKB_KEY_Home, XKB_KEY_End,    XKB_KEY_Prior,     XKB_KEY_Next,
    XKB_KEY_Up,     XKB_KEY_Down, XKB_KEY_Left,   XKB_KEY_Right,     XKB_KEY_F1,
    XKB_KEY_F2,     XKB_KEY_F3,   XKB_KEY_F4,     XKB_KEY_F5,        XKB_KEY_F6,
    XKB_KEY_F7,     XKB_KEY_F8,   XKB_KEY_F9,     XKB_KEY_F10,       XKB_KEY_F11,
    XKB_KEY_F12,    XKB_KEY_F13,  XKB_KEY_F14,    XKB_KEY_F15,       XKB_KEY_F16};

static_assert(namedKeyEvdevCodes.size() == static_cast<std::size_t>(NamedKey::F16) + 1);
static_assert(namedKeyKeysyms.size() == namedKeyEvdevCodes.size());

inline std::uint16_t evdevCodeOf(NamedKey key) {
    return namedKeyEvdevCodes[static_cast<std::size_t>(key)];
}

inline std::uint32_t keysymOf(NamedKey key) {
    return namedKeyKeysyms[static_cast<std::size_t>(key)];
}

} // namespace vxorv
