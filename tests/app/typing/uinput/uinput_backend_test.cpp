#include "typing/uinput/uinput_backend.hpp"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vxorv {
namespace {

using uinput::EvdevCode;
using Press = std::pair<EvdevCode, bool>;

class FakeKeyDevice final : public uinput::KeyDevice {
  public:
    explicit FakeKeyDevice(std::vector<Press>& log, EvdevCode refuse = 0,
                           std::uint32_t* activeLayout = nullptr)
        : m_log(log), m_refuse(refuse), m_activeLayout(activeLayout) {}
    bool key(EvdevCode code, bool down) override {
        m_log.emplace_back(code, down);
        return code != m_refuse;
    }
    std::optional<std::uint32_t> activeLayout() override {
        return m_activeLayout != nullptr ? std::optional(*m_activeLayout) : std::nullopt;
    }

  private:
    std::vector<Press>& m_log;
    EvdevCode m_refuse;
    std::uint32_t* m_activeLayout;
};

std::unique_ptr<UinputBackend> backend(std::vector<Press>& log, const std::string& layout,
                                       EvdevCode refuse = 0,
                                       std::uint32_t* activeLayout = nullptr) {
    std::string problem;
    auto keys = uinput::LayoutKeys::create({"evdev", "pc105", layout, "", ""}, problem);
    EXPECT_TRUE(keys) << problem;
    return std::make_unique<UinputBackend>(
        std::make_unique<FakeKeyDevice>(log, refuse, activeLayout), std::move(keys));
}

TEST(UinputBackend, PressesModifiersAroundTheKeyAndReleasesThemInReverse) {
    std::vector<Press> log;
    auto german = backend(log, "de");
    EXPECT_TRUE(german->type(KeyEvent::ofCharacter(U'y')));
    EXPECT_TRUE(german->type(KeyEvent::ofCharacter(U'C', true)));
    EXPECT_TRUE(german->type(KeyEvent::ofCharacter(U'€')));
    EXPECT_TRUE(german->type(KeyEvent::ofKey(NamedKey::Tab)));
    const std::vector<Press> expected{{KEY_Z, true},         {KEY_Z, false}, // y
                                      {KEY_LEFTSHIFT, true}, {KEY_LEFTCTRL, true},
                                      {KEY_C, true},         {KEY_C, false},         // Ctrl+C
                                      {KEY_LEFTCTRL, false}, {KEY_LEFTSHIFT, false}, //
                                      {KEY_RIGHTALT, true},  {KEY_E, true},
                                      {KEY_E, false},        {KEY_RIGHTALT, false}, // AltGr+E
                                      {KEY_TAB, true},       {KEY_TAB, false}};
    EXPECT_EQ(log, expected);
}

TEST(UinputBackend, RefusesWhatTheLayoutCannotTypeWithoutPressingAnything) {
    std::vector<Press> log;
    auto us = backend(log, "us");
    EXPECT_FALSE(us->type(KeyEvent::ofCharacter(U'ä')));
    EXPECT_FALSE(us->type(KeyEvent::ofCharacter(U'\x07')));
    EXPECT_TRUE(log.empty());
}

TEST(UinputBackend, ReportsAFailedWriteButLeavesNoModifierDown) {
    std::vector<Press> log;
    auto us = backend(log, "us", KEY_A);
    EXPECT_FALSE(us->type(KeyEvent::ofCharacter(U'A')));
    const std::vector<Press> expected{
        {KEY_LEFTSHIFT, true}, {KEY_A, true}, {KEY_A, false}, {KEY_LEFTSHIFT, false}};
    EXPECT_EQ(log, expected);
}

// With the layouts "us,de" configured, the system switches between them
// without a new keymap: the backend asks which is active before each burst.
TEST(UinputBackend, MapsThroughTheLayoutTheDeviceSaysIsActive) {
    std::vector<Press> log;
    std::uint32_t active = 1;
    auto both = backend(log, "us,de", 0, &active);
    EXPECT_TRUE(both->type(KeyEvent::ofCharacter(U'ö')));
    active = 0; // not asked again until the queue has run empty
    EXPECT_TRUE(both->type(KeyEvent::ofCharacter(U'y')));
    both->idle();
    EXPECT_FALSE(both->type(KeyEvent::ofCharacter(U'ö')));
    EXPECT_TRUE(both->type(KeyEvent::ofCharacter(U'y')));
    active = 7; // a layout the keymap lacks changes nothing
    both->idle();
    EXPECT_TRUE(both->type(KeyEvent::ofCharacter(U'y')));
    const std::vector<Press> expected{{KEY_SEMICOLON, true}, {KEY_SEMICOLON, false}, // ö
                                      {KEY_Z, true},         {KEY_Z, false},         // y on de
                                      {KEY_Y, true},         {KEY_Y, false},         // y on us
                                      {KEY_Y, true},         {KEY_Y, false}};
    EXPECT_EQ(log, expected);
}

} // namespace
} // namespace vxorv
