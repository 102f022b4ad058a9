#include "typing/gnome/gnome_backend.hpp"
#include "typing/uinput/session_layout.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vxorv {
namespace {

using Press = std::pair<std::uint32_t, bool>;

class FakeRemoteDesktop final : public gnome::RemoteDesktop {
  public:
    FakeRemoteDesktop(std::vector<Press>& log, std::uint32_t refuse)
        : m_log(log), m_refuse(refuse) {}
    bool keysym(std::uint32_t keysym, bool down) override {
        m_log.emplace_back(keysym, down);
        return keysym != m_refuse;
    }

  private:
    std::vector<Press>& m_log;
    std::uint32_t m_refuse;
};

std::unique_ptr<GnomeBackend> backend(std::vector<Press>& log, const std::string& layout,
                                      std::uint32_t refuse = 0) {
    std::string problem;
    const auto keymap = uinput::keymapText({"evdev", "pc105", layout, "", ""}, problem);
    auto keys = keymap ? gnome::LayoutKeysyms::fromKeymapText(*keymap, problem) : nullptr;
    EXPECT_TRUE(keys) << problem;
    return std::make_unique<GnomeBackend>(std::make_unique<FakeRemoteDesktop>(log, refuse),
                                          std::move(keys));
}

std::vector<Press> tap(std::uint32_t keysym) {
    return {{keysym, true}, {keysym, false}};
}

TEST(GnomeBackend, SendsTheKeysymOfEachCharacterTheLayoutHas) {
    std::vector<Press> log;
    const auto gnome = backend(log, "de");
    for (char32_t c : U"aZ€ö@") {
        if (c == 0) {
            break;
        }
        log.clear();
        ASSERT_TRUE(gnome->type(KeyEvent::ofCharacter(c))) << static_cast<int>(c);
        EXPECT_EQ(log, tap(xkb_utf32_to_keysym(c)));
    }
    // The compositor's "us" keymap has € on an extra key (the Euro key of
    // some keyboards), which the compositor presses for us.
    log.clear();
    EXPECT_TRUE(backend(log, "us")->type(KeyEvent::ofCharacter(U'€')));
    EXPECT_EQ(log, tap(XKB_KEY_EuroSign));
}

TEST(GnomeBackend, HoldsControlAroundTheKeyAndSendsNamedKeys) {
    std::vector<Press> log;
    const auto gnome = backend(log, "us");
    ASSERT_TRUE(gnome->type(KeyEvent::ofCharacter(U'c', true)));
    ASSERT_TRUE(gnome->type(KeyEvent::ofKey(NamedKey::PageDown)));
    ASSERT_TRUE(gnome->type(KeyEvent::ofKey(NamedKey::F16, true)));
    const std::vector<Press> expected{{XKB_KEY_Control_L, true}, {XKB_KEY_c, true},
                                      {XKB_KEY_c, false},        {XKB_KEY_Control_L, false},
                                      {XKB_KEY_Next, true},      {XKB_KEY_Next, false},
                                      {XKB_KEY_Control_L, true}, {XKB_KEY_F16, true},
                                      {XKB_KEY_F16, false},      {XKB_KEY_Control_L, false}};
    EXPECT_EQ(log, expected);
}

// The compositor would drop these without a word, or type another character.
TEST(GnomeBackend, RefusesWhatTheLayoutLacksOrNeedsTwoLevelModifiersFor) {
    std::vector<Press> log;
    const auto us = backend(log, "us");
    EXPECT_FALSE(us->type(KeyEvent::ofCharacter(U'ö')));
    EXPECT_FALSE(us->type(KeyEvent::ofCharacter(U'\u00a0')));
    // On the German layout ¿ is on AltGr+Shift+ß.
    const auto de = backend(log, "de");
    EXPECT_FALSE(de->type(KeyEvent::ofCharacter(U'¿')));
    EXPECT_TRUE(log.empty());
}

TEST(GnomeBackend, ReportsARefusedKeysymButReleasesControl) {
    std::vector<Press> log;
    const auto gnome = backend(log, "us", XKB_KEY_x);
    EXPECT_FALSE(gnome->type(KeyEvent::ofCharacter(U'x', true)));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), Press(XKB_KEY_Control_L, false));
}

} // namespace
} // namespace vxorv
