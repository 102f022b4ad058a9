// End to end under a headless sway (run through in_sway.sh): keystroke
// strings go through the injector and the virtual keyboard backend into a
// focused window, native Wayland or X11 under Xwayland as QT_QPA_PLATFORM
// says, and what that window received must be exactly what was meant.

#include "typing/keystroke_parser.hpp"
#include "typing/send_keys.hpp"
#include "typing/wayland/virtual_keyboard_backend.hpp"
#include "typing_sink.hpp"
#include "typing_texts.hpp"

#include <QApplication>
#include <QProcess>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

TypingSink* sink = nullptr;

class WaylandTyping : public testing::Test {
  protected:
    void SetUp() override {
        std::string problem;
        auto backend = VirtualKeyboardBackend::open(problem);
        ASSERT_TRUE(backend) << problem;
        m_injector = std::make_unique<SendKeys>(std::move(backend));
        sink->clear();
    }

    // Types `keystrokes` and compares what the sink received with `expected`.
    testing::AssertionResult typesAs(const QString& keystrokes, const QString& expected) {
        m_injector->sendKeys(keystrokes);
        return sinkShows(expected);
    }

    // Waits until everything is typed and the sink, which may lag far behind
    // on a loaded machine, shows as much as expected; then compares.
    testing::AssertionResult sinkShows(const QString& expected) {
        sink->collect([&] {
            return m_injector->waitUntilTypedFor(0ms) &&
                   sink->transcript().size() >= expected.size();
        });
        EXPECT_EQ(m_injector->counts().refused, 0u);
        return sameText(sink->transcript(), expected);
    }

    std::unique_ptr<SendKeys> m_injector;
};

TEST_F(WaylandTyping, TypesAsciiWithEveryEscapedCharacter) {
    const std::u32string text = printableAscii() + U"{a}(b)[c]+^~%!";
    EXPECT_TRUE(typesAs(escaped(text), QString::fromStdU32String(text)));
}

TEST_F(WaylandTyping, TypesLatin1AndTheEuroSign) {
    const std::u32string text = latin1AndWindows1252();
    EXPECT_TRUE(typesAs(escaped(text), QString::fromStdU32String(text)));
}

TEST_F(WaylandTyping, TypesGreekAndCyrillic) {
    const std::u32string text = greekAndCyrillic();
    EXPECT_TRUE(typesAs(escaped(text + text), QString::fromStdU32String(text + text)));
}

TEST_F(WaylandTyping, PressesNamedKeysAndCtrlCombinations) {
    EXPECT_TRUE(typesAs(namedKeys, transcriptOf(namedKeys)));
}

TEST_F(WaylandTyping, TypesALongMessageCompleteAndInOrder) {
    const QString keys = longMessage();
    EXPECT_TRUE(typesAs(keys, transcriptOf(keys)));
}

// Native Wayland windows take a keymap change in the middle of a message;
// X11 windows under Xwayland may not (see the README).
TEST_F(WaylandTyping, TypesAMessageWithMoreCharactersThanAKeymapHolds) {
    if (qgetenv("QT_QPA_PLATFORM") != "wayland") {
        GTEST_SKIP() << "an X11 window";
    }
    std::u32string text;
    for (char32_t c = 0x4e00; c < 0x4e00 + 500; ++c) {
        text += c;
    }
    text += text.substr(0, 100) + U"abc";
    EXPECT_TRUE(typesAs(escaped(text), QString::fromStdU32String(text)));
}

// Message after message, the keymap growing between them, three times over.
TEST_F(WaylandTyping, TypesMessageAfterMessageExactlyEveryTime) {
    const QStringList messages{escaped(printableAscii()), escaped(latin1AndWindows1252()),
                               escaped(greekAndCyrillic()), namedKeys};
    QString expected;
    for (int run = 0; run < 3; ++run) {
        for (const QString& message : messages) {
            m_injector->sendKeys(message);
            expected += transcriptOf(message);
        }
    }
    EXPECT_TRUE(sinkShows(expected));
}

// `vxbt type` as a user runs it in a Wayland session, with no setting.
TEST(VxbtType, TypesIntoTheFocusedWaylandWindow) {
    sink->clear();
    QProcess vxbt;
    vxbt.start(QStringLiteral(VXBT_PATH), {QStringLiteral("type")});
    vxbt.write("Order 4711 \xe9\x80\r");
    vxbt.closeWriteChannel();
    const QString expected = QStringLiteral("Order 4711 é€{ENTER}");
    sink->collect([&] {
        return vxbt.state() == QProcess::NotRunning && sink->transcript().size() >= expected.size();
    });
    EXPECT_EQ(vxbt.exitCode(), 0) << vxbt.readAllStandardError().toStdString();
    EXPECT_TRUE(sameText(sink->transcript(), expected));
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    // The seat of a headless compositor has no keyboard until one is created,
    // and a window takes a keyboard only while it appears. This one, created
    // before the sink, stays for the whole run.
    std::string problem;
    const auto seatKeyboard = vxorv::VirtualKeyboardBackend::open(problem);
    if (!seatKeyboard) {
        std::fprintf(stderr, "no virtual keyboard: %s\n", problem.c_str());
        return 1;
    }
    vxorv::e2e::TypingSink window;
    if (!window.showAndFocus()) {
        std::fprintf(stderr, "the sink window did not get the keyboard focus\n");
        return 1;
    }
    vxorv::e2e::sink = &window;
    return RUN_ALL_TESTS();
}
