// The virtual keyboard's keymap, compiled back with libxkbcommon as a
// compositor and its clients compile it.

#include "typing/wayland/virtual_keymap.hpp"
#include "windows1252_characters.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace vxorv {
namespace {

constexpr xkb_keycode_t xkbOffset = 8;

// The keymap as a client sees it, with a state to press keys in.
class CompiledKeymap {
  public:
    explicit CompiledKeymap(const VirtualKeymap& keymap)
        : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref),
          m_keymap(xkb_keymap_new_from_string(m_context.get(), keymap.text().c_str(),
                                              XKB_KEYMAP_FORMAT_TEXT_V1,
                                              XKB_KEYMAP_COMPILE_NO_FLAGS),
                   &xkb_keymap_unref),
          m_state(m_keymap ? xkb_state_new(m_keymap.get()) : nullptr, &xkb_state_unref) {}

    bool valid() const { return m_state != nullptr; }
    xkb_keycode_t maxKeycode() const { return xkb_keymap_max_keycode(m_keymap.get()); }

    char32_t characterOf(VirtualKeymap::Key key) const {
        return xkb_state_key_get_utf32(m_state.get(), key + xkbOffset);
    }
    xkb_keysym_t keysymOf(VirtualKeymap::Key key) const {
        return xkb_state_key_get_one_sym(m_state.get(), key + xkbOffset);
    }
    bool controlActiveWhilePressed(VirtualKeymap::Key key) {
        xkb_state_update_key(m_state.get(), key + xkbOffset, XKB_KEY_DOWN);
        const bool active = xkb_state_mod_name_is_active(m_state.get(), XKB_MOD_NAME_CTRL,
                                                         XKB_STATE_MODS_EFFECTIVE) > 0;
        xkb_state_update_key(m_state.get(), key + xkbOffset, XKB_KEY_UP);
        return active;
    }

  private:
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> m_context;
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> m_keymap;
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> m_state;
};

std::vector<char32_t> cjk(std::size_t count) {
    std::vector<char32_t> characters;
    for (char32_t c = 0x4e00; characters.size() < count; ++c) {
        characters.push_back(c);
    }
    return characters;
}

TEST(VirtualKeymap, EveryCharacterTypesExactlyItselfWithoutModifiers) {
    VirtualKeymap keymap;
    const std::u32string windows1252 = test::windows1252Characters();
    std::vector<char32_t> characters(windows1252.begin() + 95, windows1252.end()); // not ASCII
    characters.insert(characters.end(), {U'Ж', U'ω', U'中', U'\u00a0', U'😀'});
    EXPECT_TRUE(keymap.makeRoomFor(characters));
    const CompiledKeymap compiled(keymap);
    ASSERT_TRUE(compiled.valid()) << keymap.text();
    for (char32_t c : characters) {
        const auto key = keymap.keyOf(c);
        ASSERT_TRUE(key) << std::hex << static_cast<std::uint32_t>(c);
        EXPECT_EQ(compiled.characterOf(*key), c) << std::hex << static_cast<std::uint32_t>(c);
    }
}

TEST(VirtualKeymap, NamedKeysAndControlKeepTheirUsualKeys) {
    VirtualKeymap keymap;
    CompiledKeymap compiled(keymap);
    ASSERT_TRUE(compiled.valid());
    EXPECT_EQ(compiled.keysymOf(VirtualKeymap::keyOf(NamedKey::Enter)), XKB_KEY_Return);
    EXPECT_EQ(compiled.keysymOf(VirtualKeymap::keyOf(NamedKey::PageDown)), XKB_KEY_Next);
    EXPECT_EQ(compiled.keysymOf(VirtualKeymap::keyOf(NamedKey::F16)), XKB_KEY_F16);
    EXPECT_EQ(compiled.keysymOf(VirtualKeymap::controlKey), XKB_KEY_Control_L);
    EXPECT_TRUE(compiled.controlActiveWhilePressed(VirtualKeymap::controlKey));
    EXPECT_FALSE(compiled.controlActiveWhilePressed(*keymap.keyOf(U'c')));
}

// X11 windows under Xwayland see key codes up to 255 only.
TEST(VirtualKeymap, HoldsNoKeyAboveWhatXwaylandPasses) {
    VirtualKeymap keymap;
    EXPECT_EQ(keymap.room(), VirtualKeymap::capacity - 95) << "printable ASCII is in";
    EXPECT_FALSE(keymap.makeRoomFor({U'a', U'b'}));
    const std::vector<char32_t> many = cjk(VirtualKeymap::capacity + 10);
    EXPECT_TRUE(keymap.makeRoomFor(many));
    EXPECT_EQ(keymap.room(), 0u);
    EXPECT_TRUE(keymap.keyOf(many[VirtualKeymap::capacity - 1]));
    EXPECT_FALSE(keymap.keyOf(many[VirtualKeymap::capacity])) << "beyond what a keymap holds";
    EXPECT_FALSE(keymap.keyOf(U'a'));
    const CompiledKeymap compiled(keymap);
    ASSERT_TRUE(compiled.valid());
    EXPECT_LE(compiled.maxKeycode(), 255u);
    for (std::size_t i = 0; i < VirtualKeymap::capacity; ++i) {
        EXPECT_LE(*keymap.keyOf(many[i]) + xkbOffset, 255u);
    }
}

// Keys on their way to a window that reads the new keymap late must still
// mean what they meant.
TEST(VirtualKeymap, CharactersKeepTheirKeysAndTheLeastRecentlyTypedMakeRoom) {
    VirtualKeymap keymap;
    const auto a = keymap.keyOf(U'a');
    ASSERT_TRUE(keymap.makeRoomFor({U'é'}));
    const auto e = keymap.keyOf(U'é');
    ASSERT_TRUE(keymap.makeRoomFor(cjk(keymap.room())));
    EXPECT_EQ(keymap.keyOf(U'a'), a);
    EXPECT_EQ(keymap.keyOf(U'é'), e);

    // Full: three new characters take the keys of the three typed longest
    // ago, never of one that is wanted now.
    for (char32_t c : cjk(VirtualKeymap::capacity)) {
        keymap.markTyped(c);
    }
    keymap.markTyped(U'é');
    keymap.markTyped(U'b');
    ASSERT_TRUE(keymap.makeRoomFor({U'Ж', U'Щ', U'Я', U' '}));
    for (char32_t kept : {U'é', U'b', U' ', U'Ж', U'Щ', U'Я'}) {
        EXPECT_TRUE(keymap.keyOf(kept));
    }
    EXPECT_EQ(keymap.keyOf(U'é'), e);
    EXPECT_FALSE(keymap.keyOf(U'!')) << "ASCII was typed longest ago (never)";
    EXPECT_FALSE(keymap.keyOf(U'"'));
    EXPECT_FALSE(keymap.keyOf(U'#'));
    EXPECT_TRUE(keymap.keyOf(U'$'));
}

TEST(VirtualKeymap, RefusesWhatNoKeysymTypesExactly) {
    EXPECT_TRUE(VirtualKeymap::typeable(U'Ж'));
    EXPECT_TRUE(VirtualKeymap::typeable(U'\u02c6')); // not the dead circumflex
    EXPECT_FALSE(VirtualKeymap::typeable(0x110000));
    VirtualKeymap keymap;
    const std::size_t room = keymap.room();
    EXPECT_FALSE(keymap.makeRoomFor({0x110000}));
    EXPECT_EQ(keymap.room(), room);
}

} // namespace
} // namespace vxorv
