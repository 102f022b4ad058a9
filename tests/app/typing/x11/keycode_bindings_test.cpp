#include "typing/x11/keycode_bindings.hpp"

#include <gtest/gtest.h>

namespace vxorv::x11 {
namespace {

using namespace std::chrono_literals;
using Clock = KeycodeBindings::Clock;
using Place = KeycodeBindings::Place;

constexpr Keysym alpha = 0x7e1;
constexpr Keysym beta = 0x7e2;
constexpr Keysym gamma = 0x7e3;
constexpr Keysym delta = 0x7e4;

const Clock::time_point t0 = Clock::now();

// Leases `keysym` at `when` and types it there, the server confirming at once.
Place typeOn(KeycodeBindings& bindings, Keysym keysym, Clock::time_point when, bool plain = true) {
    const auto lease = bindings.lease(keysym, plain, when);
    EXPECT_TRUE(lease) << std::hex << keysym;
    bindings.typed(lease->place, when);
    bindings.processed(when, when);
    return lease->place;
}

TEST(KeycodeBindings, BindsEachKeysymOnceAndKeepsItsPlace) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200, 201}, false);
    const auto a = bindings.lease(alpha, true, t0);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->rebind);
    const auto b = bindings.lease(beta, true, t0);
    ASSERT_TRUE(b);
    EXPECT_NE(b->place, a->place);

    const auto again = bindings.lease(alpha, true, t0 + 1ms);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->rebind);
    EXPECT_EQ(again->place, a->place);
    EXPECT_EQ(bindings.levelsOf(a->place.keycode), (std::array<Keysym, 2>{alpha, alpha}));
}

TEST(KeycodeBindings, RebindsOnlyAPlaceQuietForTheWholeQuietTimeTheLeastRecentlyUsedFirst) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200, 201}, false);
    typeOn(bindings, alpha, t0);
    typeOn(bindings, beta, t0 + 100ms);
    typeOn(bindings, alpha, t0 + 500ms); // alpha is now the most recent
    bindings.answered(t0 + 600ms);       // the window has read every key

    EXPECT_FALSE(bindings.lease(gamma, true, t0 + 2099ms)) << "beta's key may still be unread";
    EXPECT_EQ(bindings.vacancyAt(true), t0 + 2100ms);
    const auto c = bindings.lease(gamma, true, t0 + 2100ms);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->rebind);
    EXPECT_EQ(c->place, (Place{201, false}));
    EXPECT_EQ(bindings.levelsOf(200)[0], alpha);
}

TEST(KeycodeBindings, PrefersNeverUsedPlacesToFreedOnes) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200, 201, 202}, false);
    typeOn(bindings, alpha, t0);
    EXPECT_EQ(bindings.releaseAll(), (std::vector<Keycode>{200}));
    EXPECT_EQ(typeOn(bindings, beta, t0 + 1s), (Place{201, false}));
    EXPECT_EQ(typeOn(bindings, gamma, t0 + 1s), (Place{202, false}));
    EXPECT_EQ(typeOn(bindings, delta, t0 + 1s), (Place{200, false})) << "freed places are free";
}

TEST(KeycodeBindings, CountsQuietTimeFromWhenTheServerConfirmedTheKey) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200}, false);
    const auto a = bindings.lease(alpha, true, t0);
    bindings.typed(a->place, t0);
    // The server stalled: nothing confirmed yet, so nothing is ever quiet.
    EXPECT_FALSE(bindings.lease(beta, true, t0 + 10s));
    EXPECT_EQ(bindings.vacancyAt(true), Clock::time_point::max());
    EXPECT_EQ(bindings.quietAt(), Clock::time_point::max());
    // A round trip begun before the key was sent confirms nothing.
    bindings.processed(t0 - 1ms, t0 + 10s);
    EXPECT_EQ(bindings.quietAt(), Clock::time_point::max());
    bindings.processed(t0 + 10s, t0 + 11s);
    bindings.answered(t0 + 11s);
    EXPECT_EQ(bindings.quietAt(), t0 + 13s);
    EXPECT_FALSE(bindings.lease(beta, true, t0 + 12s));
    EXPECT_TRUE(bindings.lease(beta, true, t0 + 13s));
}

TEST(KeycodeBindings, RebindsOnlyOnceTheWindowAnsweredAQuestionAskedAfterTheKey) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200}, false);
    typeOn(bindings, alpha, t0);
    EXPECT_FALSE(bindings.lease(beta, true, t0 + 5s)) << "quiet, but alpha's key may be unread";
    bindings.answered(t0 - 1ms); // asked before the server had processed the key
    EXPECT_FALSE(bindings.lease(beta, true, t0 + 5s));
    bindings.answered(t0 + 1s);
    const auto b = bindings.lease(beta, true, t0 + 5s);
    ASSERT_TRUE(b);
    bindings.typed(b->place, t0 + 5s);
    bindings.processed(t0 + 5s, t0 + 5s);
    EXPECT_FALSE(bindings.lease(gamma, true, t0 + 9s)) << "a new key needs a new answer";
}

TEST(KeycodeBindings, LendsShiftLevelsOnlyWhereAShiftedKeyDoes) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200}, true);
    EXPECT_EQ(typeOn(bindings, alpha, t0, false), (Place{200, false}));
    EXPECT_EQ(typeOn(bindings, beta, t0, false), (Place{200, true}));
    EXPECT_EQ(bindings.levelsOf(200), (std::array<Keysym, 2>{alpha, beta}));
    // A named key or a Ctrl combination needs the plain level: it waits.
    EXPECT_FALSE(bindings.lease(gamma, true, t0 + 1s));
    EXPECT_TRUE(bindings.lease(beta, false, t0 + 1s));
    EXPECT_FALSE(bindings.lease(beta, true, t0 + 1s)) << "beta sits behind Shift";

    bindings.setSpares({200}, false); // the keymap lost its Shift key
    EXPECT_FALSE(bindings.lease(beta, false, t0 + 1s)) << "beta sits behind a Shift now missing";
    EXPECT_EQ(bindings.releaseAll(), (std::vector<Keycode>{200}));
    EXPECT_EQ(bindings.levelsOf(200), (std::array<Keysym, 2>{}));
}

TEST(KeycodeBindings, AFreeLevelShowsTheOtherOne) {
    KeycodeBindings bindings(2s);
    bindings.setSpares({200}, true);
    typeOn(bindings, alpha, t0, false);
    EXPECT_EQ(bindings.levelsOf(200), (std::array<Keysym, 2>{alpha, alpha}));
    bindings.forget(200);
    EXPECT_FALSE(bindings.anyBound());
    bindings.setSpares({200}, true);
    EXPECT_EQ(typeOn(bindings, alpha, t0 + 3s, false), (Place{200, true})) << "never used first";
    EXPECT_EQ(bindings.levelsOf(200), (std::array<Keysym, 2>{alpha, alpha}));
}

TEST(KeycodeBindings, ForgetsBindingsOnKeycodesThatAreNoLongerSpare) {
    KeycodeBindings bindings;
    bindings.setSpares({200, 201}, false);
    bindings.lease(alpha, true, t0);
    bindings.lease(beta, true, t0);
    bindings.setSpares({201, 202}, false);
    EXPECT_EQ(bindings.levelsOf(201)[0], beta);
    EXPECT_EQ(bindings.releaseAll(), (std::vector<Keycode>{201}));
}

TEST(KeycodeBindings, HasNothingToLendWithoutSpares) {
    KeycodeBindings bindings;
    bindings.setSpares({}, true);
    EXPECT_FALSE(bindings.hasPlaces(false));
    EXPECT_FALSE(bindings.lease(alpha, false, t0));
}

} // namespace
} // namespace vxorv::x11
