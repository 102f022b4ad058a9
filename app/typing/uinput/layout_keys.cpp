#include "typing/uinput/layout_keys.hpp"

#include "typing/linux_named_keys.hpp"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace vxorv::uinput {

namespace {

// XKB keycodes are Linux key codes plus 8.
constexpr xkb_keycode_t evdevOffset = 8;

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateFree {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

bool isText(char32_t c, xkb_keysym_t keysym) {
    const bool control = c < 0x20 || (c >= 0x7f && c <= 0x9f);
    const bool keypad = keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
    return c != 0 && !control && !keypad;
}

bool selectsLevel(xkb_keysym_t keysym) {
    return keysym == XKB_KEY_Shift_L || keysym == XKB_KEY_Shift_R ||
           keysym == XKB_KEY_ISO_Level3_Shift || keysym == XKB_KEY_ISO_Level5_Shift;
}

bool selectsControl(xkb_keysym_t keysym) {
    return keysym == XKB_KEY_Control_L || keysym == XKB_KEY_Control_R;
}

xkb_keysym_t firstKeysym(xkb_keymap* keymap, xkb_keycode_t keycode) {
    const xkb_keysym_t* syms = nullptr;
    return xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &syms) > 0 ? syms[0]
                                                                              : XKB_KEY_NoSymbol;
}

// The modifiers that holding `keycode` sets, as the keymap's actions say.
xkb_mod_mask_t modifiersSetBy(xkb_keymap* keymap, xkb_keycode_t keycode) {
    const std::unique_ptr<xkb_state, StateFree> state(xkb_state_new(keymap));
    if (!state) {
        return 0;
    }
    xkb_state_update_key(state.get(), keycode, XKB_KEY_DOWN);
    return xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
}

} // namespace

std::unique_ptr<LayoutKeys> LayoutKeys::create(const XkbNames& names, std::string& problem) {
    const std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        problem = "cannot create an XKB context";
        return nullptr;
    }
    auto field = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    const xkb_rule_names ruleNames{field(names.rules), field(names.model), field(names.layout),
                                   field(names.variant), field(names.options)};
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
        xkb_keymap_new_from_names(context.get(), &ruleNames, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        problem = "cannot compile the XKB keymap for layout \"" +
                  (names.layout.empty() ? std::string("(session default)") : names.layout) + "\"";
        return nullptr;
    }
    return fromKeymap(keymap.get());
}

std::unique_ptr<LayoutKeys> LayoutKeys::fromKeymapText(const std::string& text,
                                                       std::string& problem) {
    const std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        problem = "cannot create an XKB context";
        return nullptr;
    }
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
        xkb_keymap_new_from_buffer(context.get(), text.data(), text.size(),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        problem = "cannot compile the keymap the compositor sent";
        return nullptr;
    }
    return fromKeymap(keymap.get());
}

std::unique_ptr<LayoutKeys> LayoutKeys::fromKeymap(xkb_keymap* keymap) {
    std::unique_ptr<LayoutKeys> keys(new LayoutKeys);
    xkb_mod_mask_t levelModifiers = 0;
    const xkb_keycode_t first = std::max(xkb_keymap_min_keycode(keymap), evdevOffset);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    // The keys every PC keyboard has come first: the compositor maps our key
    // codes with its own keymap, which may lack the extra keys of ours.
    std::vector<xkb_keycode_t> modifierCandidates;
    for (xkb_keycode_t code :
         {KEY_LEFTSHIFT, KEY_RIGHTSHIFT, KEY_RIGHTALT, KEY_LEFTCTRL, KEY_RIGHTCTRL}) {
        modifierCandidates.push_back(code + evdevOffset);
    }
    for (xkb_keycode_t keycode = first; keycode <= last; ++keycode) {
        modifierCandidates.push_back(keycode);
    }
    for (xkb_keycode_t keycode : modifierCandidates) {
        const xkb_keysym_t keysym = firstKeysym(keymap, keycode);
        if (!selectsLevel(keysym) && !selectsControl(keysym)) {
            continue;
        }
        const xkb_mod_mask_t sets = modifiersSetBy(keymap, keycode);
        if (std::popcount(sets) != 1) {
            continue;
        }
        keys->m_modifierKeys.try_emplace(sets, static_cast<EvdevCode>(keycode - evdevOffset));
        (selectsLevel(keysym) ? levelModifiers : keys->m_controlMask) |= sets;
    }

    const xkb_keycode_t lastTextKey = std::min(last, xkb_keycode_t{highestKey + evdevOffset});
    keys->m_layouts.resize(std::max(xkb_keymap_num_layouts(keymap), xkb_layout_index_t{1}));
    for (std::size_t layout = 0; layout < keys->m_layouts.size(); ++layout) {
        for (xkb_keycode_t keycode = first; keycode <= lastTextKey; ++keycode) {
            keys->place(keymap, keycode, static_cast<xkb_layout_index_t>(layout), levelModifiers);
        }
    }
    return keys;
}

// Notes each character that `keycode` types in `layout` with level
// modifiers only, keeping the placement with the fewest modifiers.
void LayoutKeys::place(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_layout_index_t layout,
                       std::uint32_t levelModifiers) {
    const xkb_layout_index_t keyLayouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
    if (keyLayouts == 0) {
        return;
    }
    // A key with fewer layouts than the keymap wraps the layout index around.
    const xkb_layout_index_t keyLayout = layout % keyLayouts;
    std::unordered_map<char32_t, Placement>& characters = m_layouts[layout];
    const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, keycode, keyLayout);
    for (xkb_level_index_t level = 0; level < levels; ++level) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, keycode, keyLayout, level, &syms) != 1) {
            continue;
        }
        const char32_t c = xkb_keysym_to_utf32(syms[0]);
        if (!isText(c, syms[0])) {
            continue;
        }
        std::array<xkb_mod_mask_t, 16> masks{};
        const std::size_t count = xkb_keymap_key_get_mods_for_level(
            keymap, keycode, keyLayout, level, masks.data(), masks.size());
        for (std::size_t i = 0; i < count; ++i) {
            if ((masks[i] & ~levelModifiers) != 0) {
                continue;
            }
            const Placement placement{static_cast<EvdevCode>(keycode - evdevOffset), masks[i]};
            auto [it, inserted] = characters.try_emplace(c, placement);
            if (!inserted && std::popcount(masks[i]) < std::popcount(it->second.modifiers)) {
                it->second = placement;
            }
        }
    }
}

void LayoutKeys::selectLayout(std::uint32_t index) {
    if (index < m_layouts.size()) {
        m_selected = index;
    }
}

std::optional<KeyChord> LayoutKeys::forCharacter(char32_t c, bool ctrl) const {
    const std::unordered_map<char32_t, Placement>& characters = m_layouts[m_selected];
    const auto it = characters.find(c);
    if (it == characters.end() || (ctrl && m_controlMask == 0)) {
        return std::nullopt;
    }
    return chord(it->second, ctrl);
}

std::optional<KeyChord> LayoutKeys::forKey(NamedKey key, bool ctrl) const {
    if (ctrl && m_controlMask == 0) {
        return std::nullopt;
    }
    return chord({evdevCodeOf(key), 0}, ctrl);
}

KeyChord LayoutKeys::chord(Placement placement, bool ctrl) const {
    KeyChord chord{placement.key, {}};
    const std::uint32_t modifiers = placement.modifiers | (ctrl ? m_controlMask : 0);
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((modifiers & bit) != 0) {
            chord.modifiers.push_back(m_modifierKeys.at(bit));
        }
    }
    return chord;
}

} // namespace vxorv::uinput
