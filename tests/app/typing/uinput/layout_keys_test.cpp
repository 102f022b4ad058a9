#include "typing/uinput/layout_keys.hpp"
#include "windows1252_characters.hpp"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>

namespace vxorv::uinput {
namespace {

std::unique_ptr<LayoutKeys> layoutKeys(const std::string& layout) {
    std::string problem;
    auto keys = LayoutKeys::create({"evdev", "pc105", layout, "", ""}, problem);
    EXPECT_TRUE(keys) << problem;
    return keys;
}

// Plays a chord on a fresh keyboard state of the same keymap, as the
// compositor would, and returns the character the key types.
class Keyboard {
  public:
    explicit Keyboard(const std::string& layout) {
        const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
        m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        m_keymap = xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ~Keyboard() {
        xkb_keymap_unref(m_keymap);
        xkb_context_unref(m_context);
    }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    char32_t play(const KeyChord& chord) const {
        xkb_state* state = xkb_state_new(m_keymap);
        for (EvdevCode modifier : chord.modifiers) {
            xkb_state_update_key(state, modifier + 8u, XKB_KEY_DOWN);
        }
        const char32_t typed = xkb_state_key_get_utf32(state, chord.key + 8u);
        xkb_state_unref(state);
        return typed;
    }

  private:
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
};

struct LayoutCase {
    std::string layout;
    std::u32string mustType; // characters the layout has, some behind Shift or AltGr
};

class LayoutKeysTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutKeysTest, EveryChordFoundTypesItsCharacterOnThatLayout) {
    const auto keys = layoutKeys(GetParam().layout);
    ASSERT_TRUE(keys);
    const Keyboard keyboard(GetParam().layout);
    int found = 0;
    for (char32_t c : test::windows1252Characters()) {
        if (const auto chord = keys->forCharacter(c, false)) {
            ++found;
            EXPECT_EQ(keyboard.play(*chord), c) << "U+" << std::hex << static_cast<unsigned>(c);
        }
    }
    EXPECT_GE(found, 95);
}

TEST_P(LayoutKeysTest, FindsTheLayoutsOwnCharacters) {
    const auto keys = layoutKeys(GetParam().layout);
    ASSERT_TRUE(keys);
    for (char32_t c : GetParam().mustType) {
        EXPECT_TRUE(keys->forCharacter(c, false)) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

TEST_P(LayoutKeysTest, RefusesCharactersTheLayoutLacks) {
    const auto keys = layoutKeys(GetParam().layout);
    ASSERT_TRUE(keys);
    for (char32_t c : std::u32string(U"αЖ\u0081\t")) {
        EXPECT_FALSE(keys->forCharacter(c, false)) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutKeysTest,
                         testing::Values(LayoutCase{"us", U"azAZ09@{}[]|~^`\"'<>"},
                                         LayoutCase{"de", U"yzYZäöüÄÖÜß@€{}[]\\|~²³µ°§"},
                                         LayoutCase{"fr", U"aqAQ0123456789éèçàù€@#{}[]\\|~µ£§²"}),
                         [](const testing::TestParamInfo<LayoutCase>& param) {
                             return param.param.layout;
                         });

TEST(LayoutKeys, PutsLettersWhereEachLayoutHasThem) {
    // The same character sits on different keys, behind different modifiers.
    EXPECT_EQ(layoutKeys("us")->forCharacter(U'y', false), (KeyChord{KEY_Y, {}}));
    EXPECT_EQ(layoutKeys("de")->forCharacter(U'y', false), (KeyChord{KEY_Z, {}}));
    EXPECT_EQ(layoutKeys("fr")->forCharacter(U'a', false), (KeyChord{KEY_Q, {}}));
    EXPECT_EQ(layoutKeys("fr")->forCharacter(U'1', false), (KeyChord{KEY_1, {KEY_LEFTSHIFT}}));
    EXPECT_EQ(layoutKeys("us")->forCharacter(U'A', false), (KeyChord{KEY_A, {KEY_LEFTSHIFT}}));
    EXPECT_EQ(layoutKeys("de")->forCharacter(U'@', false), (KeyChord{KEY_Q, {KEY_RIGHTALT}}));
}

TEST(LayoutKeys, HoldsCtrlAroundTheKeyWhenAsked) {
    const auto keys = layoutKeys("de");
    EXPECT_EQ(keys->forCharacter(U'c', true), (KeyChord{KEY_C, {KEY_LEFTCTRL}}));
    EXPECT_EQ(keys->forCharacter(U'C', true), (KeyChord{KEY_C, {KEY_LEFTSHIFT, KEY_LEFTCTRL}}));
    EXPECT_EQ(keys->forKey(NamedKey::End, true), (KeyChord{KEY_END, {KEY_LEFTCTRL}}));
}

TEST(LayoutKeys, NamesTheSameKeysOnEveryLayout) {
    for (const char* layout : {"us", "fr"}) {
        const auto keys = layoutKeys(layout);
        EXPECT_EQ(keys->forKey(NamedKey::Enter, false), (KeyChord{KEY_ENTER, {}}));
        EXPECT_EQ(keys->forKey(NamedKey::PageDown, false), (KeyChord{KEY_PAGEDOWN, {}}));
        EXPECT_EQ(keys->forKey(NamedKey::F1, false), (KeyChord{KEY_F1, {}}));
        EXPECT_EQ(keys->forKey(NamedKey::F16, false), (KeyChord{KEY_F16, {}}));
    }
}

TEST(LayoutKeys, ReportsALayoutThatDoesNotExist) {
    std::string problem;
    EXPECT_FALSE(LayoutKeys::create({"evdev", "pc105", "no-such-layout", "", ""}, problem));
    EXPECT_NE(problem.find("no-such-layout"), std::string::npos) << problem;
}

} // namespace
} // namespace vxorv::uinput
