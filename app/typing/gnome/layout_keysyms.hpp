#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace vxorv::gnome {

// The characters GNOME's compositor can type on its current layout, and the
// keysym to ask for each: those on any key of the first layout at the plain,
// Shift or AltGr level. The compositor finds the key for a keysym itself and
// adds at most one of those two modifiers; anything else it drops or types
// wrongly, so it must not be asked for.
class LayoutKeysyms {
  public:
    // From a keymap in XKB text form; null with `problem` set when it cannot
    // be compiled.
    static std::unique_ptr<LayoutKeysyms> fromKeymapText(const std::string& text,
                                                         std::string& problem);

    std::optional<std::uint32_t> keysymFor(char32_t c) const;

  private:
    LayoutKeysyms() = default;
    std::unordered_map<char32_t, std::uint32_t> m_keysyms;
};

} // namespace vxorv::gnome
