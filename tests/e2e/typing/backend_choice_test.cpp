// The start-up choice of a keystroke backend, with fake openers and, under
// xvfb-run, with the real ones.

#include "typing/keystroke_backend_factory.hpp"
#include "typing/x11/xtest_backend.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace vxorv {
namespace {

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

class NullBackend final : public KeystrokeBackend {
  public:
    bool type(const KeyEvent&) override { return true; }
};

// Openers named as the real ones; `working` open, the others fail saying why.
std::vector<KeystrokeBackendOpener> openers(const std::vector<std::string>& working) {
    std::vector<KeystrokeBackendOpener> all;
    for (std::string name : {"XTest", "uinput", "KDE", "GNOME", "virtual-keyboard"}) {
        const bool works = std::find(working.begin(), working.end(), name) != working.end();
        all.push_back(
            {name, [name, works](std::string& problem) -> std::unique_ptr<KeystrokeBackend> {
                 if (works) {
                     return std::make_unique<NullBackend>();
                 }
                 problem = name + " is missing";
                 return nullptr;
             }});
    }
    return all;
}

std::string chosen(const std::vector<std::string>& working, DesktopSession session,
                   const std::string& setting = "auto") {
    const KeystrokeBackendChoice choice =
        chooseKeystrokeBackend(openers(working), session, setting);
    EXPECT_EQ(choice.backend == nullptr, choice.name.empty());
    return choice.name;
}

TEST(BackendChoice, FollowsTheSessionsOrder) {
    const std::vector<std::string> all{"XTest", "uinput", "KDE", "GNOME", "virtual-keyboard"};
    EXPECT_EQ(chosen(all, DesktopSession::X11), "XTest");
    EXPECT_EQ(chosen({"uinput", "virtual-keyboard"}, DesktopSession::X11), "uinput");
    EXPECT_EQ(chosen(all, DesktopSession::Wayland), "virtual-keyboard");
    EXPECT_EQ(chosen({"XTest", "uinput", "KDE", "GNOME"}, DesktopSession::Wayland), "GNOME");
    EXPECT_EQ(chosen({"XTest", "uinput", "KDE"}, DesktopSession::Wayland), "KDE");
    EXPECT_EQ(chosen({"XTest", "uinput"}, DesktopSession::Wayland), "uinput");
}

TEST(BackendChoice, NeverFallsBackToXTestInAWaylandSession) {
    const KeystrokeBackendChoice choice =
        chooseKeystrokeBackend(openers({"XTest"}), DesktopSession::Wayland, "auto");
    EXPECT_FALSE(choice.backend);
    EXPECT_THAT(choice.problem,
                AllOf(HasSubstr("virtual-keyboard: virtual-keyboard is missing. "),
                      HasSubstr("GNOME: GNOME is missing. "), HasSubstr("KDE: KDE is missing. "),
                      HasSubstr("uinput: uinput is missing. "), HasSubstr("README"),
                      HasSubstr("X11 windows only"), Not(HasSubstr("XTest is missing"))));
}

TEST(BackendChoice, SaysWhatEachLackedInAnX11Session) {
    const KeystrokeBackendChoice none =
        chooseKeystrokeBackend(openers({}), DesktopSession::X11, "");
    EXPECT_FALSE(none.backend);
    EXPECT_THAT(none.problem,
                AllOf(HasSubstr("XTest: XTest is missing. uinput: uinput is missing."),
                      HasSubstr("/dev/uinput as the README"), Not(HasSubstr("GNOME"))));
}

TEST(BackendChoice, ASettingPinsOneBackendInAnySession) {
    const std::vector<std::string> all{"XTest", "uinput", "KDE", "GNOME", "virtual-keyboard"};
    EXPECT_EQ(chosen(all, DesktopSession::Wayland, "xtest"), "XTest");
    EXPECT_EQ(chosen(all, DesktopSession::X11, "Virtual-Keyboard"), "virtual-keyboard");
    EXPECT_EQ(chosen(all, DesktopSession::X11, "AUTO"), "XTest");

    const KeystrokeBackendChoice broken =
        chooseKeystrokeBackend(openers({"XTest"}), DesktopSession::X11, "uinput");
    EXPECT_FALSE(broken.backend) << "the pinned one alone is tried";
    EXPECT_THAT(broken.problem, AllOf(HasSubstr("chooses uinput"), HasSubstr("uinput is missing"),
                                      HasSubstr("Set it to auto")));

    const KeystrokeBackendChoice unknown =
        chooseKeystrokeBackend(openers(all), DesktopSession::X11, "telepathy");
    EXPECT_FALSE(unknown.backend);
    EXPECT_THAT(unknown.problem,
                AllOf(HasSubstr("\"telepathy\""), HasSubstr("XTest, uinput, KDE, GNOME")));
}

TEST(BackendChoice, ChoosesXTestOnAnXServer) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    unsetenv("WAYLAND_DISPLAY");
    const KeystrokeBackendChoice choice = chooseKeystrokeBackend("auto");
    EXPECT_EQ(choice.name, "XTest") << choice.problem;
    EXPECT_TRUE(choice.backend);
}

TEST(BackendChoice, NamesAnXDisplayThatCannotBeReached) {
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::string problem;
    setenv("DISPLAY", ":987", 1);
    EXPECT_FALSE(XTestBackend::open(problem));
    EXPECT_THAT(problem, HasSubstr("\":987\""));
    unsetenv("DISPLAY");
    EXPECT_FALSE(XTestBackend::open(problem));
    EXPECT_THAT(problem, HasSubstr("DISPLAY is not set"));
    setenv("DISPLAY", saved.c_str(), 1);
}

} // namespace
} // namespace vxorv
