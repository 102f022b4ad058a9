#include "typing/uinput/session_layout.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace vxorv::uinput {
namespace {

bool types(const std::optional<std::string>& keymap, char32_t c) {
    std::string problem;
    const auto keys = keymap ? LayoutKeys::fromKeymapText(*keymap, problem) : nullptr;
    EXPECT_TRUE(keys) << problem;
    return keys && keys->forCharacter(c, false).has_value();
}

bool types(const std::optional<SessionKeymap>& keymap, char32_t c) {
    return keymap && types(std::optional(keymap->text), c);
}

// A keymap as a compositor sends it gives the same keys as the names it was
// compiled from.
TEST(SessionLayout, AKeymapInTextFormTypesWhatItsLayoutHas) {
    std::string problem;
    const auto german = keymapText({"evdev", "pc105", "de", "", ""}, problem);
    ASSERT_TRUE(german) << problem;
    EXPECT_TRUE(types(german, U'ö'));
    EXPECT_FALSE(types(keymapText({"evdev", "pc105", "us", "", ""}, problem), U'ö'));
    EXPECT_FALSE(LayoutKeys::fromKeymapText("xkb_keymap { garbage", problem));
    EXPECT_FALSE(problem.empty());
}

// Without a compositor to ask the layout comes from XKB_DEFAULT_*, then from
// libxkbcommon's default; the variables win over a compositor too, but one
// that does not answer must not stop typing.
TEST(SessionLayout, TheUsersXkbVariablesWinAndNoCompositorMeansTheDefault) {
    ::setenv("WAYLAND_DISPLAY", "/nonexistent/vxorv-compositor", 1);
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    std::string problem;
    EXPECT_FALSE(compositorKeymap(problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_FALSE(types(sessionKeymap(problem), U'ö'));

    ::setenv("XKB_DEFAULT_LAYOUT", "de", 1);
    EXPECT_TRUE(types(sessionKeymap(problem), U'ö'));
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    ::unsetenv("WAYLAND_DISPLAY");
}

} // namespace
} // namespace vxorv::uinput
