#pragma once

#include "typing/keystroke_backend.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vxorv {

// The keymap a virtual keyboard uploads: the named keys and Control at their
// usual evdev codes, and one key per character, each on a code of its own
// that it keeps for as long as the map grows. Every key has one level, so a
// character is typed without Shift whatever the user's layout.
//
// Key codes stay at or below 247 (X key code 255): windows under Xwayland see
// no higher ones.
class VirtualKeymap {
  public:
    using Key = std::uint32_t; // evdev code

    static constexpr Key highestKey = 247;
    static constexpr Key controlKey = 29; // KEY_LEFTCTRL

    // The named keys, Control and the printable ASCII characters.
    VirtualKeymap();

    static Key keyOf(NamedKey key);
    std::optional<Key> keyOf(char32_t character) const;

    // True when a keymap can hold `character` at all (it has a keysym that
    // types exactly it).
    static bool typeable(char32_t character);

    // How many more characters fit.
    std::size_t room() const;

    // Gives each typeable one of `characters` that lacks a key one, as long
    // as there is room; returns true when the map changed.
    bool grow(const std::vector<char32_t>& characters);
    // Starts again from the named keys and Control alone, then grows.
    void restart(const std::vector<char32_t>& characters);

    // The keymap in XKB text format, self-contained, compiled and written out
    // by libxkbcommon; empty if it does not compile.
    std::string text() const;

  private:
    std::map<char32_t, Key> m_characters;
    std::vector<Key> m_freeKeys; // in the order they are handed out
};

} // namespace vxorv
