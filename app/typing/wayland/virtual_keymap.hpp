#pragma once

#include "typing/keystroke_backend.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vxorv {

// The keymap a virtual keyboard uploads: the named keys and Control at their
// usual evdev codes, and one key per character, starting with printable
// ASCII. Every key has one level, so a character is typed without Shift
// whatever the user's layout.
//
// A character keeps its key for as long as it is in the keymap: X11 windows
// under Xwayland read a changed keymap late, and decode keys still on their
// way with the new one. When room runs out, the characters typed longest ago
// give up their keys, being the least likely to be on their way.
//
// Key codes stay at or below 247 (X key code 255): windows under Xwayland see
// no higher ones.
class VirtualKeymap {
  public:
    using Key = std::uint32_t; // evdev code

    static constexpr Key highestKey = 247;
    static constexpr Key controlKey = 29; // KEY_LEFTCTRL
    // Characters a keymap holds besides the 30 named keys and Control.
    static constexpr std::size_t capacity = highestKey - 31;

    VirtualKeymap();

    static Key keyOf(NamedKey key);
    std::optional<Key> keyOf(char32_t character) const;
    // Notes that `character` was typed now.
    void markTyped(char32_t character);

    // True when a keymap can hold `character` at all (it has a keysym that
    // types exactly it).
    static bool typeable(char32_t character);

    // How many more characters fit without taking a key from another.
    std::size_t room() const;

    // Gives the typeable ones of `characters` that lack a key one, in order,
    // taking keys from the characters typed longest ago (never from one of
    // `characters`) when there is no room; those beyond what a keymap holds
    // get none. True when the keymap changed.
    bool makeRoomFor(const std::vector<char32_t>& characters);

    // The keymap in XKB text format, self-contained, compiled and written out
    // by libxkbcommon; empty if it does not compile.
    std::string text() const;

  private:
    struct Entry {
        Key key = 0;
        std::uint64_t lastTyped = 0; // by m_clock
    };
    void evictFor(std::size_t count, const std::vector<char32_t>& keep);

    std::map<char32_t, Entry> m_characters;
    std::vector<Key> m_freeKeys; // in the order they are handed out
    std::uint64_t m_clock = 0;
};

} // namespace vxorv
