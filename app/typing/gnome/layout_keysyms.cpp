#include "typing/gnome/layout_keysyms.hpp"

#include <xkbcommon/xkbcommon.h>

namespace vxorv::gnome {

namespace {

// Plain, Shift and AltGr (ISO_Level3_Shift) in the shift levels of a key.
constexpr xkb_level_index_t reachableLevels = 3;

bool isText(char32_t c) {
    return c >= 0x20 && (c < 0x7f || c > 0x9f);
}

} // namespace

std::unique_ptr<LayoutKeysyms> LayoutKeysyms::fromKeymapText(const std::string& text,
                                                             std::string& problem) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap =
        context == nullptr
            ? nullptr
            : xkb_keymap_new_from_buffer(context, text.data(), text.size(),
                                         XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        problem = "cannot compile the compositor's keymap";
        xkb_context_unref(context);
        return nullptr;
    }
    std::unique_ptr<LayoutKeysyms> keysyms(new LayoutKeysyms);
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap);
         keycode <= xkb_keymap_max_keycode(keymap); ++keycode) {
        const xkb_level_index_t levels =
            std::min(xkb_keymap_num_levels_for_key(keymap, keycode, 0), reachableLevels);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, level, &syms) != 1) {
                continue;
            }
            const char32_t c = xkb_keysym_to_utf32(syms[0]);
            const bool keypad = syms[0] >= XKB_KEY_KP_Space && syms[0] <= XKB_KEY_KP_Equal;
            if (isText(c) && !keypad) {
                keysyms->m_keysyms.try_emplace(c, syms[0]);
            }
        }
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return keysyms;
}

std::optional<std::uint32_t> LayoutKeysyms::keysymFor(char32_t c) const {
    const auto it = m_keysyms.find(c);
    return it == m_keysyms.end() ? std::nullopt : std::optional(it->second);
}

} // namespace vxorv::gnome
