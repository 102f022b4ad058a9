// The start-up choice of a keystroke backend, with fake openers and, under
// xvfb-run, with the real ones.

#include "typing/keystroke_backend_factory.hpp"
#include "typing/x11/xtest_backend.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vxorv {
namespace {

using testing::AllOf;
using testing::HasSubstr;

class NullBackend final : public KeystrokeBackend {
  public:
    bool type(const KeyEvent&) override { return true; }
};

KeystrokeBackendOpeners::Opener opens() {
    return [](std::string&) { return std::make_unique<NullBackend>(); };
}

KeystrokeBackendOpeners::Opener fails(std::string why) {
    return [why](std::string& problem) -> std::unique_ptr<KeystrokeBackend> {
        problem = why;
        return nullptr;
    };
}

TEST(BackendChoice, PrefersXTestInAnX11SessionAndUinputInAWaylandOne) {
    EXPECT_EQ(chooseKeystrokeBackend({opens(), opens(), false}).name, "XTest");
    EXPECT_EQ(chooseKeystrokeBackend({opens(), opens(), true}).name, "uinput");
    EXPECT_EQ(chooseKeystrokeBackend({fails("no display"), opens(), false}).name, "uinput");
    const KeystrokeBackendChoice xwayland = chooseKeystrokeBackend({opens(), fails("no"), true});
    EXPECT_EQ(xwayland.name, "XTest");
    EXPECT_TRUE(xwayland.backend);
}

TEST(BackendChoice, SaysWhatIsMissingAndHowToFixItWhenNothingCanType) {
    for (bool wayland : {false, true}) {
        const KeystrokeBackendChoice none = chooseKeystrokeBackend(
            {fails("DISPLAY is not set"), fails("/dev/uinput does not exist"), wayland});
        EXPECT_FALSE(none.backend);
        EXPECT_TRUE(none.name.empty());
        EXPECT_THAT(none.problem,
                    AllOf(HasSubstr("X11 (XTest): DISPLAY is not set"),
                          HasSubstr("uinput): /dev/uinput does not exist"), HasSubstr("README")));
    }
}

TEST(BackendChoice, ChoosesXTestOnAnXServer) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    unsetenv("WAYLAND_DISPLAY");
    const KeystrokeBackendChoice choice = chooseKeystrokeBackend();
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
