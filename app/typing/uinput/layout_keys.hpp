#pragma once

#include "typing/keystroke_backend.hpp"

#include <linux/input-event-codes.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct xkb_keymap;

namespace vxorv::uinput {

using EvdevCode = std::uint16_t; // a Linux input key code (KEY_A, KEY_LEFTSHIFT, ...)

// The virtual keyboard has the keys up to F24. Keys beyond (multimedia keys,
// a "Euro" key) are never used for text: few real keyboards have them either.
inline constexpr EvdevCode highestKey = KEY_F24;

// The keys to press for one key event: the modifiers in order, then the key.
struct KeyChord {
    EvdevCode key = 0;
    std::vector<EvdevCode> modifiers;
    bool operator==(const KeyChord&) const = default;
};

// The XKB keymap names of the session. Empty fields are taken from the
// environment (XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT, _OPTIONS), and
// then from libxkbcommon's defaults (layout "us").
struct XkbNames {
    std::string rules;
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;
};

// Which keys of a virtual keyboard type which character, for the layout that
// the compositor (or the console) applies to that keyboard. A character is
// typed from the selected layout of the keymap (the first unless told
// otherwise), with Shift, AltGr or Level5 where that layout puts it; keypad
// keys are never used for text.
class LayoutKeys {
  public:
    // Compiles the keymap; null with `problem` set when it cannot be built.
    static std::unique_ptr<LayoutKeys> create(const XkbNames& names, std::string& problem);
    // The same from a keymap in XKB text form, as a Wayland compositor sends it.
    static std::unique_ptr<LayoutKeys> fromKeymapText(const std::string& text,
                                                      std::string& problem);

    // Maps through the keymap's layout `index` (counted from 0, as the
    // compositor counts the layouts the user configured); an index the
    // keymap does not have is ignored.
    void selectLayout(std::uint32_t index);

    // nullopt when no key of the layout types `c`.
    std::optional<KeyChord> forCharacter(char32_t c, bool ctrl) const;
    std::optional<KeyChord> forKey(NamedKey key, bool ctrl) const;

  private:
    struct Placement {
        EvdevCode key = 0;
        std::uint32_t modifiers = 0; // XKB modifier mask
    };
    LayoutKeys() = default;
    static std::unique_ptr<LayoutKeys> fromKeymap(xkb_keymap* keymap);
    void place(xkb_keymap* keymap, std::uint32_t keycode, std::uint32_t layout,
               std::uint32_t levelModifiers);
    KeyChord chord(Placement placement, bool ctrl) const;

    std::vector<std::unordered_map<char32_t, Placement>> m_layouts; // per layout of the keymap
    std::uint32_t m_selected = 0;
    std::unordered_map<std::uint32_t, EvdevCode> m_modifierKeys; // modifier bit -> key
    std::uint32_t m_controlMask = 0;
};

} // namespace vxorv::uinput
