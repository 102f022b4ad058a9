#include "fakes/recording_backend.hpp"
#include "typing/keystroke_parser.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vxorv {
namespace {

// Renders parsed events the way RecordingBackend does, so cases read as text.
QString render(const std::vector<KeyEvent>& events) {
    QString text;
    for (const KeyEvent& event : events) {
        if (event.ctrl) {
            text += u'^';
        }
        text += event.kind == KeyEvent::Kind::Character
                    ? QString::fromStdU32String(std::u32string(1, event.character))
                    : u'{' + keyName(event.key) + u'}';
    }
    return text;
}

QString parsed(std::u32string_view keystrokes) {
    KeystrokeParser parser;
    return render(parser.parse(keystrokes).events);
}

TEST(KeystrokeParser, TypesLiteralCharactersIncludingNonAscii) {
    KeystrokeParser parser;
    const auto result = parser.parse(U"a€é[x]");
    ASSERT_EQ(result.events.size(), 6u);
    EXPECT_EQ(result.events[1], KeyEvent::ofCharacter(U'€'));
    EXPECT_EQ(result.events[3], KeyEvent::ofCharacter(U'['));
}

TEST(KeystrokeParser, BracedLiteralsTypeTheCharacterBetweenTheBraces) {
    KeystrokeParser parser;
    const auto result = parser.parse(U"{{}{}}{+}{^}{~}{%}{(}{)}{!}");
    const std::u32string expected = U"{}+^~%()!";
    ASSERT_EQ(result.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(result.events[i], KeyEvent::ofCharacter(expected[i])) << i;
    }
}

TEST(KeystrokeParser, NamedKeysBecomeKeyEvents) {
    KeystrokeParser parser;
    const auto result = parser.parse(U"{ENTER}{TAB}{ESC}{BS}{INS}{DEL}{HOME}{END}{PGUP}{PGDN}"
                                     U"{UP}{DOWN}{LEFT}{RIGHT}{F1}{F9}{F10}{F16}");
    const std::vector<NamedKey> expected{
        NamedKey::Enter,  NamedKey::Tab,  NamedKey::Escape, NamedKey::Backspace, NamedKey::Insert,
        NamedKey::Delete, NamedKey::Home, NamedKey::End,    NamedKey::PageUp,    NamedKey::PageDown,
        NamedKey::Up,     NamedKey::Down, NamedKey::Left,   NamedKey::Right,     NamedKey::F1,
        NamedKey::F9,     NamedKey::F10,  NamedKey::F16};
    ASSERT_EQ(result.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(result.events[i], KeyEvent::ofKey(expected[i])) << i;
    }
}

TEST(KeystrokeParser, CaretHoldsCtrlForTheNextKeyOnly) {
    KeystrokeParser parser;
    const auto result = parser.parse(U"^cd^{ENTER}");
    ASSERT_EQ(result.events.size(), 3u);
    EXPECT_EQ(result.events[0], KeyEvent::ofCharacter(U'c', true));
    EXPECT_EQ(result.events[1], KeyEvent::ofCharacter(U'd'));
    EXPECT_EQ(result.events[2], KeyEvent::ofKey(NamedKey::Enter, true));
}

TEST(KeystrokeParser, IncompleteConstructsHaveHarmlessOutcomes) {
    EXPECT_EQ(parsed(U"ab^"), "ab");  // trailing Ctrl prefix dropped
    EXPECT_EQ(parsed(U"^^x"), "^x");  // a repeated prefix holds Ctrl once
    EXPECT_EQ(parsed(U"x{y"), "x{y"); // bare brace typed as itself
    EXPECT_EQ(parsed(U"{"), "{");
    EXPECT_EQ(parsed(U"a}b"), "a}b"); // lone closing brace
    EXPECT_EQ(parsed(U"{}"), "{}");
    EXPECT_EQ(parsed(U"{F17}"), "{F17}");     // unknown name typed literally
    EXPECT_EQ(parsed(U"{enter}"), "{enter}"); // names are upper case
    EXPECT_EQ(parsed(U"{F1"), "{F1");
}

TEST(KeystrokeParser, ControlCharactersTypeTheirKeysOrNothing) {
    KeystrokeParser parser;
    const auto result = parser.parse(U"a\rb\nc\r\nd\te\bf\x1B"
                                     U"g\x01\x7F\x81\x9Dh");
    EXPECT_EQ(render(result.events), "a{ENTER}b{ENTER}c{ENTER}d{TAB}e{BS}f{ESC}gh");
    EXPECT_EQ(result.ignoredControls, 4u);
}

TEST(KeystrokeParser, NulIsCountedNotTyped) {
    KeystrokeParser parser;
    const auto result = parser.parse(std::u32string(3, U'\0'));
    EXPECT_TRUE(result.events.empty());
    EXPECT_EQ(result.ignoredControls, 3u);
}

TEST(KeystrokeParser, CarriageReturnLineFeedSplitAcrossStringsIsOneEnter) {
    KeystrokeParser parser;
    EXPECT_EQ(render(parser.parse(U"a\r").events), "a{ENTER}");
    EXPECT_EQ(render(parser.parse(U"\nb").events), "b");
    EXPECT_EQ(render(parser.parse(U"\n").events), "{ENTER}");
}

TEST(KeystrokeParser, BracedControlCharacterIsNotALiteral) {
    EXPECT_EQ(parsed(U"{\r}"), "{{ENTER}}");
}

} // namespace
} // namespace vxorv
