#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vxorv {

// Keys that a keystroke string names in braces ({ENTER} ... {F16}).
enum class NamedKey : std::uint8_t {
    Enter,
    Tab,
    Escape,
    Backspace,
    Insert,
    Delete,
    Home,
    End,
    PageUp,
    PageDown,
    Up,
    Down,
    Left,
    Right,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
};

// One key to type into the focused window: a character (whatever key and
// modifiers produce it on the user's layout) or a named key, with Ctrl held
// around it when `ctrl` is set.
struct KeyEvent {
    enum class Kind : std::uint8_t { Character, Named };

    Kind kind = Kind::Character;
    char32_t character = 0;         // Kind::Character: a Unicode code point
    NamedKey key = NamedKey::Enter; // Kind::Named
    bool ctrl = false;

    static KeyEvent ofCharacter(char32_t c, bool ctrl = false) {
        return {Kind::Character, c, NamedKey::Enter, ctrl};
    }
    static KeyEvent ofKey(NamedKey k, bool ctrl = false) { return {Kind::Named, 0, k, ctrl}; }
    bool operator==(const KeyEvent&) const = default;
};

// Types key events into the window that has the keyboard focus. A backend is
// driven from the injector's typing thread only, one event at a time, in order.
class KeystrokeBackend {
  public:
    virtual ~KeystrokeBackend() = default;

    // The injector is about to type one message (the keys of one sendKeys
    // call): a backend that must prepare for them does it now, between
    // messages.
    virtual void beginMessage(std::span<const KeyEvent> events) { static_cast<void>(events); }

    // Types one key and returns true, or returns false when this backend cannot
    // produce it (absent from the layout, refused by the desktop, or the
    // backend has failed). Never types another character in its place. The
    // injector reports every key that was not typed.
    virtual bool type(const KeyEvent& event) = 0;

    // Empty while the backend works; once it can type nothing more (its
    // connection to the desktop is lost), why. type() then returns false.
    virtual std::string failure() const { return {}; }

    // The injector's queue has run empty: deliver anything buffered and release
    // temporary resources (such as remapped keycodes) once that is safe.
    virtual void idle() {}
};

} // namespace vxorv
