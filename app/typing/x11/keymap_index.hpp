#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vxorv::x11 {

using Keysym = std::uint32_t;
using Keycode = std::uint8_t;
using ModifierMask = std::uint8_t; // X11 real modifiers (ShiftMask ... Mod5Mask)

// A key and the real modifiers to hold so that it produces the wanted keysym.
struct KeyStroke {
    Keycode keycode = 0;
    ModifierMask modifiers = 0;
    bool operator==(const KeyStroke&) const = default;
};

// One level of one key in the keyboard's active group, as the keymap defines
// it: `modifiers` is the smallest set of real modifiers that selects the level.
struct KeymapLevel {
    Keycode keycode = 0;
    Keysym keysym = 0;
    ModifierMask modifiers = 0;
};

// The keysym for a character: Latin-1 characters are their own keysyms, others
// use the named keysym where X11 has one and the Unicode keysym otherwise.
// Returns 0 (NoSymbol) for control characters, which no key types as text.
Keysym keysymForCharacter(char32_t c);

// Looks characters and keysyms up in a snapshot of the keymap's active group.
// Only levels reachable with `typableModifiers` count, and among the keys
// that produce the same thing the one needing the fewest modifiers wins, so a
// plain key beats a shifted one and the main keyboard beats AltGr.
class KeymapIndex {
  public:
    KeymapIndex() = default;
    KeymapIndex(const std::vector<KeymapLevel>& levels, ModifierMask typableModifiers);

    // By the character a key types, whatever keysym the keymap uses for it
    // (a Greek layout names its letters, another may use Unicode keysyms).
    // Keypad keys are skipped: applications tell them apart from text keys.
    std::optional<KeyStroke> findCharacter(char32_t c) const;
    std::optional<KeyStroke> findKeysym(Keysym keysym) const;

  private:
    std::unordered_map<char32_t, KeyStroke> m_characters;
    std::unordered_map<Keysym, KeyStroke> m_keysyms;
};

} // namespace vxorv::x11
