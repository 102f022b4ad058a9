#include "typing/windows/send_input_backend.hpp"

#include "windows1252_characters.hpp"

#include <gtest/gtest.h>

#include <set>

namespace vxorv {
namespace {

bool isUp(const INPUT& input) {
    return (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0;
}

bool isUnicode(const INPUT& input) {
    return (input.ki.dwFlags & KEYEVENTF_UNICODE) != 0;
}

TEST(SendInputBackendTest, CharactersGoAsTheirUtf16UnitsWhateverTheLayout) {
    for (const char32_t c : test::windows1252Characters()) {
        const std::vector<INPUT> inputs = inputsFor(KeyEvent::ofCharacter(c));
        ASSERT_EQ(inputs.size(), 2u) << std::hex << static_cast<unsigned>(c);
        for (const INPUT& input : inputs) {
            EXPECT_EQ(input.type, static_cast<DWORD>(INPUT_KEYBOARD));
            EXPECT_TRUE(isUnicode(input));
            EXPECT_EQ(input.ki.wVk, 0);
            EXPECT_EQ(input.ki.wScan, c);
        }
        EXPECT_FALSE(isUp(inputs[0]));
        EXPECT_TRUE(isUp(inputs[1]));
    }

    // Beyond the basic plane: the surrogate pair, each unit pressed and released.
    const std::vector<INPUT> pair = inputsFor(KeyEvent::ofCharacter(U'\U0001F600'));
    ASSERT_EQ(pair.size(), 4u);
    EXPECT_EQ(pair[0].ki.wScan, 0xD83D);
    EXPECT_EQ(pair[1].ki.wScan, 0xD83D);
    EXPECT_EQ(pair[2].ki.wScan, 0xDE00);
    EXPECT_EQ(pair[3].ki.wScan, 0xDE00);
    EXPECT_TRUE(isUp(pair[1]) && isUp(pair[3]) && !isUp(pair[0]) && !isUp(pair[2]));
}

TEST(SendInputBackendTest, NamedKeysGoAsDistinctVirtualKeysNavigationKeysExtended) {
    std::set<WORD> codes;
    for (int k = 0; k <= static_cast<int>(NamedKey::F16); ++k) {
        const std::vector<INPUT> inputs = inputsFor(KeyEvent::ofKey(static_cast<NamedKey>(k)));
        ASSERT_EQ(inputs.size(), 2u);
        EXPECT_FALSE(isUnicode(inputs[0]));
        EXPECT_EQ(inputs[0].ki.wVk, inputs[1].ki.wVk);
        EXPECT_TRUE(!isUp(inputs[0]) && isUp(inputs[1]));
        codes.insert(inputs[0].ki.wVk);
    }
    EXPECT_EQ(codes.size(), static_cast<std::size_t>(NamedKey::F16) + 1);

    const auto first = [](NamedKey key) { return inputsFor(KeyEvent::ofKey(key))[0]; };
    EXPECT_EQ(first(NamedKey::Enter).ki.wVk, VK_RETURN);
    EXPECT_EQ(first(NamedKey::PageUp).ki.wVk, VK_PRIOR);
    EXPECT_EQ(first(NamedKey::F16).ki.wVk, VK_F16);
    EXPECT_EQ(first(NamedKey::Enter).ki.dwFlags & KEYEVENTF_EXTENDEDKEY, 0u);
    EXPECT_NE(first(NamedKey::Home).ki.dwFlags & KEYEVENTF_EXTENDEDKEY, 0u);
    EXPECT_NE(first(NamedKey::Left).ki.dwFlags & KEYEVENTF_EXTENDEDKEY, 0u);
}

TEST(SendInputBackendTest, CtrlIsHeldAroundTheKeyAndUsesTheCharactersOwnKey) {
    const std::vector<INPUT> shortcut = inputsFor(KeyEvent::ofCharacter(U'c', true));
    ASSERT_EQ(shortcut.size(), 4u);
    EXPECT_EQ(shortcut[0].ki.wVk, VK_CONTROL);
    EXPECT_FALSE(isUp(shortcut[0]));
    EXPECT_EQ(shortcut[1].ki.wVk, 'C');
    EXPECT_FALSE(isUnicode(shortcut[1]));
    EXPECT_EQ(shortcut[3].ki.wVk, VK_CONTROL);
    EXPECT_TRUE(isUp(shortcut[3]));

    const std::vector<INPUT> named = inputsFor(KeyEvent::ofKey(NamedKey::End, true));
    ASSERT_EQ(named.size(), 4u);
    EXPECT_EQ(named[1].ki.wVk, VK_END);

    // No key of the layout types it: nothing, rather than an unmodified character.
    EXPECT_TRUE(inputsFor(KeyEvent::ofCharacter(U'\u4E2D', true)).empty());
}

// Records what the backend sends and inserts only the first `accept` events
// of each call, as SendInput does when the system blocks the input.
struct RefusingSender {
    std::vector<std::vector<INPUT>> calls;
    unsigned accept = 0;

    SendInputBackend::Sender sender() {
        return [this](std::span<INPUT> inputs) {
            calls.emplace_back(inputs.begin(), inputs.end());
            return std::min(accept, static_cast<unsigned>(inputs.size()));
        };
    }
};

TEST(SendInputBackendTest, RefusedInputIsReportedAndLeavesNoKeyPressed) {
    RefusingSender all{{}, 100};
    EXPECT_TRUE(SendInputBackend(all.sender()).type(KeyEvent::ofCharacter(U'x', true)));
    EXPECT_EQ(all.calls.size(), 1u);

    RefusingSender none;
    EXPECT_FALSE(SendInputBackend(none.sender()).type(KeyEvent::ofCharacter(U'x')));
    EXPECT_EQ(none.calls.size(), 1u);

    // Ctrl and x went down before the system refused the rest: both released,
    // the last pressed first.
    RefusingSender some{{}, 2};
    EXPECT_FALSE(SendInputBackend(some.sender()).type(KeyEvent::ofCharacter(U'x', true)));
    ASSERT_EQ(some.calls.size(), 2u);
    const std::vector<INPUT>& releases = some.calls[1];
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].ki.wVk, 'X');
    EXPECT_EQ(releases[1].ki.wVk, VK_CONTROL);
    EXPECT_TRUE(isUp(releases[0]) && isUp(releases[1]));

    // Only Ctrl's release was refused: Ctrl alone is released again.
    RefusingSender lastRefused{{}, 3};
    EXPECT_FALSE(SendInputBackend(lastRefused.sender()).type(KeyEvent::ofCharacter(U'x', true)));
    ASSERT_EQ(lastRefused.calls.size(), 2u);
    ASSERT_EQ(lastRefused.calls[1].size(), 1u);
    EXPECT_EQ(lastRefused.calls[1][0].ki.wVk, VK_CONTROL);
}

} // namespace
} // namespace vxorv
