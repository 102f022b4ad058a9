#include "typing/x11/keymap_index.hpp"

#include <xkbcommon/xkbcommon.h>

#include <bit>

namespace vxorv::x11 {

namespace {

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

bool isKeypad(Keysym keysym) {
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

template <typename Key>
void keepEasiest(std::unordered_map<Key, KeyStroke>& map, Key key, KeyStroke stroke) {
    auto [it, inserted] = map.try_emplace(key, stroke);
    if (!inserted && std::popcount(stroke.modifiers) < std::popcount(it->second.modifiers)) {
        it->second = stroke;
    }
}

} // namespace

Keysym keysymForCharacter(char32_t c) {
    if (isControl(c) || c > 0x10ffff) {
        return XKB_KEY_NoSymbol;
    }
    return xkb_utf32_to_keysym(static_cast<std::uint32_t>(c));
}

KeymapIndex::KeymapIndex(const std::vector<KeymapLevel>& levels, ModifierMask typableModifiers) {
    for (const KeymapLevel& level : levels) {
        if (level.keysym == XKB_KEY_NoSymbol || (level.modifiers & ~typableModifiers) != 0) {
            continue;
        }
        const KeyStroke stroke{level.keycode, level.modifiers};
        keepEasiest(m_keysyms, level.keysym, stroke);
        const char32_t c = xkb_keysym_to_utf32(level.keysym);
        if (c != 0 && !isControl(c) && !isKeypad(level.keysym)) {
            keepEasiest(m_characters, c, stroke);
        }
    }
}

std::optional<KeyStroke> KeymapIndex::findCharacter(char32_t c) const {
    if (auto it = m_characters.find(c); it != m_characters.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<KeyStroke> KeymapIndex::findKeysym(Keysym keysym) const {
    if (auto it = m_keysyms.find(keysym); it != m_keysyms.end()) {
        return it->second;
    }
    return std::nullopt;
}

} // namespace vxorv::x11
