#include "typing/wayland/virtual_keymap.hpp"

#include "typing/linux_named_keys.hpp"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <memory>

namespace vxorv {

namespace {

constexpr VirtualKeymap::Key xkbOffset = 8;

// The keysym that types exactly `character`, or none.
xkb_keysym_t keysymOf(char32_t character) {
    for (xkb_keysym_t keysym : {xkb_utf32_to_keysym(character), 0x1000000u | character}) {
        if (keysym != XKB_KEY_NoSymbol && xkb_keysym_to_utf32(keysym) == character) {
            return keysym;
        }
    }
    return XKB_KEY_NoSymbol;
}

std::string keysymName(xkb_keysym_t keysym) {
    std::array<char, 64> name{};
    xkb_keysym_get_name(keysym, name.data(), name.size());
    return name.data();
}

std::string keyEntry(VirtualKeymap::Key key, xkb_keysym_t keysym) {
    return "    key <K" + std::to_string(key + xkbOffset) + "> { [ " + keysymName(keysym) +
           " ] };\n";
}

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

} // namespace

VirtualKeymap::VirtualKeymap() {
    for (Key key = 1; key <= highestKey; ++key) {
        if (key != controlKey && std::find(namedKeyEvdevCodes.begin(), namedKeyEvdevCodes.end(),
                                           key) == namedKeyEvdevCodes.end()) {
            m_freeKeys.push_back(key);
        }
    }
    std::vector<char32_t> ascii;
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        ascii.push_back(c);
    }
    makeRoomFor(ascii);
}

VirtualKeymap::Key VirtualKeymap::keyOf(NamedKey key) {
    return namedKeyEvdevCodes.at(static_cast<std::size_t>(key));
}

std::optional<VirtualKeymap::Key> VirtualKeymap::keyOf(char32_t character) const {
    const auto found = m_characters.find(character);
    return found == m_characters.end() ? std::nullopt : std::optional(found->second.key);
}

void VirtualKeymap::markTyped(char32_t character) {
    if (const auto found = m_characters.find(character); found != m_characters.end()) {
        found->second.lastTyped = ++m_clock;
    }
}

bool VirtualKeymap::typeable(char32_t character) {
    return keysymOf(character) != XKB_KEY_NoSymbol;
}

std::size_t VirtualKeymap::room() const {
    return m_freeKeys.size();
}

bool VirtualKeymap::makeRoomFor(const std::vector<char32_t>& characters) {
    std::vector<char32_t> missing;
    for (char32_t c : characters) {
        if (typeable(c) && !m_characters.contains(c) &&
            std::find(missing.begin(), missing.end(), c) == missing.end()) {
            missing.push_back(c);
        }
    }
    if (missing.size() > m_freeKeys.size()) {
        evictFor(missing.size() - m_freeKeys.size(), characters);
    }
    bool changed = false;
    for (char32_t c : missing) {
        if (m_freeKeys.empty()) {
            break;
        }
        m_characters.emplace(c, Entry{m_freeKeys.front(), ++m_clock});
        m_freeKeys.erase(m_freeKeys.begin());
        changed = true;
    }
    return changed;
}

void VirtualKeymap::evictFor(std::size_t count, const std::vector<char32_t>& keep) {
    std::vector<std::pair<std::uint64_t, char32_t>> candidates;
    for (const auto& [character, entry] : m_characters) {
        if (std::find(keep.begin(), keep.end(), character) == keep.end()) {
            candidates.emplace_back(entry.lastTyped, character);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    for (std::size_t i = 0; i < std::min(count, candidates.size()); ++i) {
        const auto found = m_characters.find(candidates[i].second);
        m_freeKeys.push_back(found->second.key);
        m_characters.erase(found);
    }
}

std::string VirtualKeymap::text() const {
    std::string symbols;
    for (std::size_t i = 0; i < namedKeyEvdevCodes.size(); ++i) {
        symbols += keyEntry(namedKeyEvdevCodes[i], namedKeyKeysyms[i]);
    }
    symbols += keyEntry(controlKey, XKB_KEY_Control_L);
    for (const auto& [character, entry] : m_characters) {
        symbols += keyEntry(entry.key, keysymOf(character));
    }
    const std::string source =
        "xkb_keymap {\n"
        "  xkb_keycodes \"vxorv\" {\n    minimum = 8;\n    maximum = 255;\n" +
        [] {
            std::string codes;
            for (Key code = xkbOffset + 1; code <= highestKey + xkbOffset; ++code) {
                codes += "    <K" + std::to_string(code) + "> = " + std::to_string(code) + ";\n";
            }
            return codes;
        }() +
        "  };\n"
        "  xkb_types \"vxorv\" { include \"complete\" };\n"
        "  xkb_compatibility \"vxorv\" { include \"complete\" };\n"
        "  xkb_symbols \"vxorv\" {\n" +
        symbols + "    modifier_map Control { <K" + std::to_string(controlKey + xkbOffset) +
        "> };\n  };\n};\n";

    const std::unique_ptr<xkb_context, ContextFree> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) {
        return {};
    }
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(xkb_keymap_new_from_string(
        context.get(), source.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return {};
    }
    const std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    return text ? std::string(text.get()) : std::string();
}

} // namespace vxorv
