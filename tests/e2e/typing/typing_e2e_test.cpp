// End to end under a real X server (xvfb-run): keystroke strings go through
// the injector and the XTest backend into a focused window, and what that
// window received must be exactly what was meant, whatever the layout, Caps
// Lock or a held Shift.

#include "typing/keystroke_parser.hpp"
#include "typing/send_keys.hpp"
#include "typing/x11/xtest_backend.hpp"
#include "typing_sink.hpp"
#include "x_keyboard.hpp"

#include <QApplication>
#include <QFile>
#include <QProcess>
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

    // Caps Lock is back once the queue has run empty; borrowed keycodes may
    // stay bound a little longer, but not past the injector's end.
    void expectKeyboardAsFound() {
        EXPECT_EQ(m_x.capsLock(), GetParam().capsLock) << "Caps Lock was not restored";
        m_injector.reset();
        EXPECT_EQ(m_x.keymap(), m_keymapBefore) << "borrowed keycodes were not restored";
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

TEST(TypingExit, DropsQueuedTypingAndRestoresTheKeymapWhenDestroyed) {
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
    const QString expected = QString::fromStdU32String(text);
    const QString typed = sink->transcript();
    EXPECT_LT(typed.size(), expected.size()) << "what was still queued is not typed";
    EXPECT_TRUE(sameText(typed, expected.left(typed.size())));
    EXPECT_EQ(x.keymap(), keymapBefore);
}

TEST(TypingEdgeCases, ATrailingCtrlPrefixIsDroppedAndABareBraceIsTyped) {
    sink->clear();
    std::string problem;
    SendKeys injector(XTestBackend::open(problem));
    injector.sendKeys(QStringLiteral("x{y"));  // a bare brace, as a sentinel in the data leaves
    injector.sendKeys(QStringLiteral("ab^"));  // Ctrl for no key at the end of a message
    injector.sendKeys(QStringLiteral("c^^d")); // not Ctrl+C; Ctrl held once for d
    sink->collect([&] { return injector.waitUntilTypedFor(0ms); });
    EXPECT_TRUE(sameText(sink->transcript(), QStringLiteral("x{yabc^d")));
}

// `vxbt type` as a user runs it: bytes in, keys typed, exit when done.
int runVxbtType(const QByteArray& bytes, const QStringList& args, QString* errors = nullptr,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess vxbt;
    vxbt.setProcessEnvironment(environment);
    vxbt.start(QStringLiteral(VXBT_PATH), QStringList{QStringLiteral("type")} + args);
    vxbt.write(bytes);
    vxbt.closeWriteChannel();
    sink->collect([&] { return vxbt.state() == QProcess::NotRunning; });
    if (errors != nullptr) {
        *errors = QString::fromUtf8(vxbt.readAllStandardError());
    }
    return vxbt.exitStatus() == QProcess::NormalExit ? vxbt.exitCode() : -1;
}

TEST(VxbtType, TypesReceivedBytesAsVxorvWould) {
    XKeyboard::setLayout("de");
    sink->clear();
    // Mode 1: 131 is Enter, 154 holds Ctrl for the next key, 155 is the euro
    // sign, 156..254 become spaces and 255 stays; the data's own caret and
    // brackets are typed as they are.
    EXPECT_EQ(runVxbtType("AB\x83\x9a"
                          "c(1+2)^3 [x] \xe4\xff\x9b",
                          {"--mode", "1"}),
              0);
    EXPECT_TRUE(sameText(sink->transcript(), QStringLiteral("AB{ENTER}^c(1+2)^3 [x]  ÿ€")));
    sink->clear();
    EXPECT_EQ(runVxbtType("\x80\x83\r\nz", {}), 0); // mode 0: € and ƒ, CR LF is one Enter
    EXPECT_TRUE(sameText(sink->transcript(), QStringLiteral("€ƒ{ENTER}z")));
    XKeyboard::setLayout("us");
}

TEST(VxbtType, FailsWithTheReasonWhenNothingCanType) {
    if (QFile::exists(QStringLiteral("/dev/uinput"))) {
        GTEST_SKIP() << "this machine can type through /dev/uinput";
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QString errors;
    EXPECT_EQ(runVxbtType("abc", {}, &errors, environment), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("DISPLAY is not set"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("/dev/uinput does not exist")))
        << errors.toStdString();
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
