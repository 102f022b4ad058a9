#include "typing/x11/keycode_bindings.hpp"

#include <gtest/gtest.h>

namespace vxorv::x11 {
namespace {

using namespace std::chrono_literals;
using Clock = KeycodeBindings::Clock;

constexpr Keysym alpha = 0x7e1;
constexpr Keysym beta = 0x7e2;
constexpr Keysym gamma = 0x7e3;

const Clock::time_point t0 = Clock::now();

TEST(KeycodeBindings, BindsEachKeysymOnceAndKeepsItsKeycode) {
    KeycodeBindings bindings({100ms, 0ms, 0ms});
    bindings.setSpares({200, 201});
    const auto a = bindings.lease(alpha, t0);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->rebind);
    EXPECT_EQ(a->notBefore, t0);
    bindings.typed(a->keycode, t0);
    const auto b = bindings.lease(beta, t0);
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->rebind);
    EXPECT_NE(b->keycode, a->keycode);

    const auto again = bindings.lease(alpha, t0 + 1ms);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->rebind);
    EXPECT_EQ(again->keycode, a->keycode);
    EXPECT_EQ(bindings.boundTo(a->keycode), alpha);
}

TEST(KeycodeBindings, ReusesTheLeastRecentlyUsedKeycodeOnlyAfterItsHold) {
    KeycodeBindings bindings({100ms, 0ms, 0ms});
    bindings.setSpares({200, 201});
    bindings.typed(bindings.lease(alpha, t0)->keycode, t0);
    bindings.typed(bindings.lease(beta, t0)->keycode, t0 + 30ms);
    bindings.typed(bindings.lease(alpha, t0 + 50ms)->keycode, t0 + 50ms); // most recent now

    const auto c = bindings.lease(gamma, t0 + 60ms);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->rebind);
    EXPECT_EQ(c->keycode, 201);
    EXPECT_EQ(c->notBefore, t0 + 130ms);
    EXPECT_EQ(bindings.boundTo(201), gamma);
    EXPECT_EQ(bindings.boundTo(200), alpha);
}

TEST(KeycodeBindings, SpacesKeymapChangesAndCountsThemAsWorkForTheClient) {
    KeycodeBindings bindings({100ms, 0ms, 10ms});
    bindings.setSpares({200, 201, 202});
    EXPECT_EQ(bindings.lease(alpha, t0)->notBefore, t0);
    bindings.typed(200, t0); // handled by t0 + 10 ms
    EXPECT_EQ(bindings.lease(beta, t0 + 1ms)->notBefore, t0 + 10ms);
    bindings.typed(201, t0 + 10ms);                                    // handled by t0 + 20 ms
    EXPECT_EQ(bindings.lease(alpha, t0 + 11ms)->notBefore, t0 + 11ms); // no change, no wait
    EXPECT_EQ(bindings.quietAt(), t0 + 120ms);

    bindings.setSpares({200, 201});
    const auto c = bindings.lease(gamma, t0 + 12ms);
    EXPECT_EQ(c->keycode, 200);
    EXPECT_EQ(c->notBefore, t0 + 110ms);
}

TEST(KeycodeBindings, WaitsForASlowClientToHandleTheLastKeyBeforeRebinding) {
    KeycodeBindings bindings({100ms, 2ms, 0ms});
    bindings.setSpares({200});
    bindings.typed(bindings.lease(alpha, t0)->keycode, t0);
    for (int i = 0; i < 50; ++i) {
        bindings.typed(38, t0); // a burst of plain keys the client has yet to handle
    }
    bindings.typed(200, t0); // alpha again: the 52nd key, handled by t0 + 104 ms
    EXPECT_EQ(bindings.quietAt(), t0 + 204ms);
    EXPECT_EQ(bindings.lease(beta, t0 + 1ms)->notBefore, t0 + 204ms);

    // Keys typed slower than the client handles them add no backlog.
    KeycodeBindings paced({100ms, 2ms, 0ms});
    paced.setSpares({200});
    for (int i = 0; i < 50; ++i) {
        paced.typed(38, t0 + i * 5ms);
    }
    paced.typed(paced.lease(alpha, t0 + 250ms)->keycode, t0 + 250ms);
    EXPECT_EQ(paced.quietAt(), t0 + 352ms);
}

TEST(KeycodeBindings, ReleasesEachBindingOnceItsHoldHasPassed) {
    KeycodeBindings bindings({100ms, 0ms, 0ms});
    bindings.setSpares({200, 201, 202});
    EXPECT_EQ(bindings.quietAt(), Clock::time_point{});
    bindings.typed(bindings.lease(alpha, t0)->keycode, t0);
    bindings.typed(bindings.lease(beta, t0)->keycode, t0 + 40ms);
    EXPECT_EQ(bindings.quietAt(), t0 + 140ms);

    EXPECT_EQ(bindings.releaseDue(t0 + 120ms), (std::vector<Keycode>{200}));
    EXPECT_EQ(bindings.boundTo(201), beta);
    EXPECT_EQ(bindings.releaseAll(), (std::vector<Keycode>{201}));
    EXPECT_EQ(bindings.boundTo(201), 0u);
    const auto fresh = bindings.lease(gamma, t0 + 150ms);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->notBefore, t0 + 150ms); // restored keycodes are free at once
}

TEST(KeycodeBindings, ForgetsBindingsOnKeycodesThatAreNoLongerSpare) {
    KeycodeBindings bindings;
    bindings.setSpares({200, 201});
    bindings.lease(alpha, t0);
    bindings.lease(beta, t0);
    bindings.setSpares({201, 202});
    EXPECT_EQ(bindings.boundTo(201), beta);
    EXPECT_EQ(bindings.releaseAll(), (std::vector<Keycode>{201}));
}

TEST(KeycodeBindings, HasNothingToLendWithoutSpares) {
    KeycodeBindings bindings;
    bindings.setSpares({});
    EXPECT_FALSE(bindings.lease(alpha, t0));
}

} // namespace
} // namespace vxorv::x11
