#include "typing/x11/keymap_index.hpp"
#include "windows1252_characters.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <string>

namespace vxorv::x11 {
namespace {

constexpr ModifierMask shift = 1;        // ShiftMask
constexpr ModifierMask levelThree = 128; // Mod5Mask, where AltGr usually sits
constexpr ModifierMask numLock = 16;     // Mod2Mask

TEST(KeysymForCharacter, GivesEveryWindows1252CharacterAKeysymThatTypesIt) {
    for (char32_t c : test::windows1252Characters()) {
        const Keysym keysym = keysymForCharacter(c);
        ASSERT_NE(keysym, 0u) << "U+" << std::hex << static_cast<unsigned>(c);
        EXPECT_EQ(xkb_keysym_to_utf32(keysym), static_cast<std::uint32_t>(c))
            << "U+" << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_EQ(keysymForCharacter(U'é'), 0xe9u);
    EXPECT_EQ(keysymForCharacter(U'€'), static_cast<Keysym>(XKB_KEY_EuroSign));
    EXPECT_EQ(keysymForCharacter(U'α'), static_cast<Keysym>(XKB_KEY_Greek_alpha));
    EXPECT_EQ(keysymForCharacter(U'ˆ'), 0x10002c6u); // no named keysym
}

TEST(KeysymForCharacter, GivesNoKeysymForControlCharacters) {
    for (char32_t c : {U'\0', U'\t', U'\r', U'\x1b', U'\x7f', U'\x81', U'\x9d'}) {
        EXPECT_EQ(keysymForCharacter(c), 0u) << static_cast<unsigned>(c);
    }
}

TEST(KeymapIndex, PrefersTheKeyNeedingTheFewestModifiers) {
    const KeymapIndex index({{20, XKB_KEY_at, shift | levelThree},
                             {24, XKB_KEY_q, 0},
                             {24, XKB_KEY_at, levelThree},
                             {11, XKB_KEY_at, shift}},
                            shift | levelThree);
    EXPECT_EQ(index.findCharacter(U'@'), (KeyStroke{24, levelThree}));
    EXPECT_EQ(index.findKeysym(XKB_KEY_q), (KeyStroke{24, 0}));
}

TEST(KeymapIndex, IgnoresLevelsBehindModifiersItCannotPress) {
    const KeymapIndex index({{30, XKB_KEY_ae, levelThree}, {31, XKB_KEY_EuroSign, shift}}, shift);
    EXPECT_EQ(index.findCharacter(U'æ'), std::nullopt);
    EXPECT_EQ(index.findCharacter(U'€'), (KeyStroke{31, shift}));
}

TEST(KeymapIndex, FindsCharactersWhateverKeysymTheKeymapNamesThemBy) {
    const KeymapIndex index({{40, XKB_KEY_Greek_alpha, 0}, {41, 0x10003b2, 0}}, 0);
    EXPECT_EQ(index.findCharacter(U'α'), (KeyStroke{40, 0}));
    EXPECT_EQ(index.findCharacter(U'β'), (KeyStroke{41, 0}));
    EXPECT_EQ(index.findCharacter(U'γ'), std::nullopt);
}

TEST(KeymapIndex, TypesTextFromTheMainKeysNotTheKeypad) {
    const KeymapIndex index({{87, XKB_KEY_KP_1, numLock},
                             {87, XKB_KEY_KP_End, 0},
                             {88, XKB_KEY_KP_Add, 0},
                             {36, XKB_KEY_Return, 0}},
                            shift | numLock);
    EXPECT_EQ(index.findCharacter(U'1'), std::nullopt);
    EXPECT_EQ(index.findCharacter(U'+'), std::nullopt);
    EXPECT_EQ(index.findCharacter(U'\r'), std::nullopt);
    EXPECT_EQ(index.findKeysym(XKB_KEY_Return), (KeyStroke{36, 0}));
    EXPECT_EQ(index.findKeysym(XKB_KEY_KP_End), (KeyStroke{87, 0}));
}

} // namespace
} // namespace vxorv::x11
