// End to end under a real X server (xvfb-run): keystroke strings go through
// the injector and the XTest backend into a focused window, and what that
// window received must be exactly what was meant, whatever the layout, Caps
// Lock or a held Shift.

#include "platform/keystroke_parser.hpp"
#include "platform/send_keys.hpp"
#include "platform/x11/xtest_backend.hpp"
#include "typing_sink.hpp"
#include "x_keyboard.hpp"

#include <QApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

QT_BEGIN_NAMESPACE
// Failures show the text, not bytes.
inline void PrintTo(const QString& s, std::ostream* out) {
    *out << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vxorv::e2e {
namespace {

// Compares whole transcripts and, on a mismatch, shows where they part.
testing::AssertionResult sameText(const QString& received, const QString& expected) {
    if (received == expected) {
        return testing::AssertionSuccess();
    }
    const auto [r, e] =
        std::mismatch(received.begin(), received.end(), expected.begin(), expected.end());
    const auto at = static_cast<qsizetype>(r - received.begin());
    return testing::AssertionFailure()
           << "received " << received.size() << " characters, expected " << expected.size()
           << "; they part at " << at << ": received \"" << received.mid(at, 40).toStdString()
           << "\", expected \"" << expected.mid(at, 40).toStdString() << "\"";
}

using namespace std::chrono_literals;

TypingSink* sink = nullptr;

// The keystroke string that types `text` literally.
QString escaped(const std::u32string& text) {
    QString keys;
    for (char32_t c : text) {
        const QString s = QString::fromUcs4(&c, 1);
        keys += std::u32string_view(U"{}()+^~%!").find(c) != std::u32string_view::npos
                    ? QLatin1Char('{') + s + QLatin1Char('}')
                    : s;
    }
    return keys;
}

// What the sink shows for the keys a keystroke string stands for.
QString transcriptOf(const QString& keystrokes) {
    static const char* const names[] = {"ENTER", "TAB",  "ESC",  "BS", "INS",  "DEL",  "HOME",
                                        "END",   "PGUP", "PGDN", "UP", "DOWN", "LEFT", "RIGHT"};
    QString transcript;
    const std::u32string u32 = keystrokes.toStdU32String();
    for (const KeyEvent& event : KeystrokeParser().parse(u32).events) {
        if (event.ctrl) {
            transcript += QLatin1Char('^');
        }
        if (event.kind == KeyEvent::Kind::Character) {
            transcript += QString::fromUcs4(&event.character, 1);
        } else if (event.key >= NamedKey::F1) {
            transcript += QStringLiteral("{F%1}").arg(static_cast<int>(event.key) -
                                                      static_cast<int>(NamedKey::F1) + 1);
        } else {
            transcript +=
                QStringLiteral("{%1}").arg(QLatin1String(names[static_cast<int>(event.key)]));
        }
    }
    return transcript;
}

std::u32string printableAscii() {
    std::u32string text;
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        text += c;
    }
    return text;
}

std::u32string latin1AndWindows1252() {
    std::u32string text = U"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ";
    for (char32_t c = 0xa0; c <= 0xff; ++c) {
        text += c;
    }
    return text;
}

std::u32string greekAndCyrillic() {
    std::u32string text;
    for (char32_t c = 0x391; c <= 0x3c9; ++c) {
        if (c != 0x3a2) { // no capital final sigma
            text += c;
        }
    }
    for (char32_t c = 0x410; c <= 0x44f; ++c) {
        text += c;
    }
    return text + U"Ёё";
}

const QString namedKeys = QStringLiteral(
    "{ENTER}{TAB}{ESC}{BS}{INS}{DEL}{HOME}{END}{PGUP}{PGDN}{UP}{DOWN}{LEFT}{RIGHT}"
    "{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}{F9}{F10}{F11}{F12}{F13}{F14}{F15}{F16}^c^{END}x");

// 4096 characters of mixed text, as a long scan would be: ASCII with a
// couple of dozen other characters (Latin-1, the euro sign, some that no
// layout here has) and Enter keys in between.
QString longMessage() {
    const std::u32string pool = printableAscii() + U"äöüßéèàç€£°µ½§«»–…αβγЖЩ";
    QString keys;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t pick = (seed >> 8) % (pool.size() + 8);
        keys +=
            pick < pool.size() ? escaped(std::u32string(1, pool[pick])) : QStringLiteral("{ENTER}");
    }
    return keys;
}

struct Desktop {
    std::string layout;
    bool capsLock = false;
    bool heldShift = false;
};

class TypingEndToEnd : public testing::TestWithParam<Desktop> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_x.connected());
        ASSERT_TRUE(XKeyboard::setLayout(GetParam().layout));
        m_x.setCapsLock(GetParam().capsLock);
        if (GetParam().heldShift) {
            m_x.holdShift(true);
        }
        m_keymapBefore = m_x.keymap();
        std::string problem;
        auto backend = XTestBackend::open(problem);
        ASSERT_TRUE(backend) << problem;
        m_injector = std::make_unique<SendKeys>(std::move(backend));
        sink->clear();
    }

    void TearDown() override {
        m_injector.reset();
        m_x.holdShift(false);
        m_x.setCapsLock(false);
        XKeyboard::setLayout("us");
    }

    // Types `keystrokes` and returns what the sink received.
    QString typed(const QString& keystrokes) {
        m_injector->sendKeys(keystrokes);
        sink->collect([this] { return m_injector->waitUntilTypedFor(0ms); });
        return sink->transcript();
    }

    void expectKeyboardAsFound() {
        EXPECT_EQ(m_x.keymap(), m_keymapBefore) << "borrowed keycodes were not restored";
        EXPECT_EQ(m_x.capsLock(), GetParam().capsLock) << "Caps Lock was not restored";
    }

    XKeyboard m_x;
    std::vector<unsigned long> m_keymapBefore;
    std::unique_ptr<SendKeys> m_injector;
};

TEST_P(TypingEndToEnd, TypesAsciiWithEveryEscapedCharacter) {
    const std::u32string text = printableAscii() + U"{a}(b)[c]+^~%!";
    EXPECT_TRUE(sameText(typed(escaped(text)), QString::fromStdU32String(text)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, TypesLatin1AndTheEuroSign) {
    const std::u32string text = latin1AndWindows1252();
    EXPECT_TRUE(sameText(typed(escaped(text)), QString::fromStdU32String(text)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, TypesMoreMissingCharactersThanThereAreSpareKeycodes) {
    const std::u32string text = greekAndCyrillic();
    ASSERT_GT(static_cast<int>(text.size()), m_x.spareKeycodes());
    RecordProperty("spare_keycodes", m_x.spareKeycodes());
    // Twice over, so that keycodes are rebound while earlier bindings are warm.
    const std::u32string twice = text + text;
    EXPECT_TRUE(sameText(typed(escaped(twice)), QString::fromStdU32String(twice)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, PressesNamedKeysAndCtrlCombinations) {
    EXPECT_TRUE(sameText(typed(namedKeys), transcriptOf(namedKeys)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, TypesALongMessageCompleteAndInOrder) {
    const QString keys = longMessage();
    const QString expected = transcriptOf(keys);
    ASSERT_EQ(KeystrokeParser().parse(keys.toStdU32String()).events.size(), 4096u);
    EXPECT_TRUE(sameText(typed(keys), expected));
    expectKeyboardAsFound();
}

INSTANTIATE_TEST_SUITE_P(Desktops, TypingEndToEnd,
                         testing::Values(Desktop{"us", false, false}, Desktop{"de", false, false},
                                         Desktop{"us", true, false}, Desktop{"de", true, false},
                                         Desktop{"us", false, true}),
                         [](const testing::TestParamInfo<Desktop>& param) {
                             return param.param.layout + (param.param.capsLock ? "_CapsLock" : "") +
                                    (param.param.heldShift ? "_HeldShift" : "");
                         });

TEST(TypingExit, FinishesQueuedTypingAndRestoresTheKeymapWhenDestroyed) {
    XKeyboard x;
    const std::vector<unsigned long> keymapBefore = x.keymap();
    sink->clear();
    const std::u32string text = greekAndCyrillic() + printableAscii();
    std::atomic<bool> destroyed = false;
    // The owner destroys the injector at once, with nearly everything still
    // queued, while this thread keeps the sink's events flowing.
    std::thread owner([&] {
        {
            std::string problem;
            SendKeys injector(XTestBackend::open(problem));
            injector.sendKeys(escaped(text));
        }
        destroyed = true;
    });
    sink->collect([&] { return destroyed.load(); });
    owner.join();
    EXPECT_TRUE(sameText(sink->transcript(), QString::fromStdU32String(text)));
    EXPECT_EQ(x.keymap(), keymapBefore);
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    vxorv::e2e::TypingSink window;
    if (!window.showAndFocus()) {
        fprintf(stderr, "the sink window did not get the keyboard focus\n");
        return 1;
    }
    vxorv::e2e::sink = &window;
    return RUN_ALL_TESTS();
}
