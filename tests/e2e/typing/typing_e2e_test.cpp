// End to end under a real X server (xvfb-run): keystroke strings go through
// the injector and the XTest backend into a focused window, and what that
// window received must be exactly what was meant, whatever the layout, Caps
// Lock or a held Shift.

#include "typing/keystroke_parser.hpp"
#include "typing/send_keys.hpp"
#include "typing/x11/xtest_backend.hpp"
#include "typing_sink.hpp"
#include "typing_texts.hpp"
#include "x_keyboard.hpp"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <thread>

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

TypingSink* sink = nullptr;

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

    // Types `keystrokes` and compares what the sink received with `expected`
    // once all is typed and the sink, which may lag far behind on a loaded
    // machine, has received as much.
    testing::AssertionResult typesAs(const QString& keystrokes, const QString& expected) {
        m_injector->sendKeys(keystrokes);
        sink->collect([&] {
            return m_injector->waitUntilTypedFor(0ms) &&
                   sink->transcript().size() >= expected.size();
        });
        return sameText(sink->transcript(), expected);
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
    EXPECT_TRUE(typesAs(escaped(text), QString::fromStdU32String(text)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, TypesLatin1AndTheEuroSign) {
    const std::u32string text = latin1AndWindows1252();
    EXPECT_TRUE(typesAs(escaped(text), QString::fromStdU32String(text)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, TypesMoreMissingCharactersThanThereAreSpareKeycodes) {
    const std::u32string text = greekAndCyrillic();
    ASSERT_GT(static_cast<int>(text.size()), m_x.spareKeycodes());
    RecordProperty("spare_keycodes", m_x.spareKeycodes());
    // Twice over, so that keycodes are rebound while earlier bindings are warm.
    const std::u32string twice = text + text;
    EXPECT_TRUE(typesAs(escaped(twice), QString::fromStdU32String(twice)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, PressesNamedKeysAndCtrlCombinations) {
    EXPECT_TRUE(typesAs(namedKeys, transcriptOf(namedKeys)));
    expectKeyboardAsFound();
}

TEST_P(TypingEndToEnd, TypesALongMessageCompleteAndInOrder) {
    const QString keys = longMessage();
    const QString expected = transcriptOf(keys);
    ASSERT_EQ(KeystrokeParser().parse(keys.toStdU32String()).events.size(), 4096u);
    EXPECT_TRUE(typesAs(keys, expected));
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

// What the sink has received once it has `size` characters (it may lag far
// behind on a loaded machine) and then nothing more for a moment.
QString received(qsizetype size) {
    sink->collect([size] { return sink->transcript().size() >= size; });
    return sink->transcript();
}

// Passes keys to a real backend, and stops at one of them until its owner
// lets it go on: the test decides what is still queued, not the machine's pace.
class GatedBackend final : public KeystrokeBackend {
  public:
    GatedBackend(std::unique_ptr<KeystrokeBackend> backend, int keysBeforeGate)
        : m_backend(std::move(backend)), m_keysBeforeGate(keysBeforeGate) {}

    // Set before the first key: the gate opens once `open()` is true, or
    // after half a minute, so that a broken owner fails the test, not hangs it.
    void openWhen(std::function<bool()> open) { m_open = std::move(open); }
    void waitUntilReached() const {
        while (!m_reached) {
            std::this_thread::sleep_for(1ms);
        }
    }

    void beginMessage(std::span<const KeyEvent> events) override {
        m_backend->beginMessage(events);
    }
    bool type(const KeyEvent& event) override {
        if (m_typed++ == m_keysBeforeGate) {
            m_reached = true;
            const auto giveUp = std::chrono::steady_clock::now() + 30s;
            while (!m_open() && std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::sleep_for(1ms);
            }
        }
        return m_backend->type(event);
    }
    std::string failure() const override { return m_backend->failure(); }
    void idle() override { m_backend->idle(); }

  private:
    std::unique_ptr<KeystrokeBackend> m_backend;
    const int m_keysBeforeGate;
    int m_typed = 0;
    std::function<bool()> m_open;
    std::atomic<bool> m_reached = false;
};

TEST(TypingExit, DropsQueuedTypingAndRestoresTheKeymapWhenDestroyed) {
    XKeyboard x;
    const std::vector<unsigned long> keymapBefore = x.keymap();
    sink->clear();
    std::string problem;
    std::unique_ptr<KeystrokeBackend> backend = XTestBackend::open(problem);
    ASSERT_TRUE(backend) << problem;
    const std::u32string text = greekAndCyrillic() + printableAscii();
    constexpr int keysBeforeGate = 20;
    std::atomic<bool> destroyed = false;
    // The owner destroys the injector while the typing thread is in the
    // middle of a borrowed key with the rest still queued, and this thread
    // keeps the sink's events flowing. The key being typed is finished once
    // the destructor has dropped the queue.
    std::thread owner([&] {
        {
            auto gated = std::make_unique<GatedBackend>(std::move(backend), keysBeforeGate);
            GatedBackend& gate = *gated;
            SendKeys injector(std::move(gated));
            gate.openWhen([&injector] { return injector.counts().discarded > 0; });
            injector.sendKeys(escaped(text));
            gate.waitUntilReached();
        }
        destroyed = true;
    });
    sink->collect([&] { return destroyed.load() && sink->transcript().size() > keysBeforeGate; });
    owner.join();
    EXPECT_TRUE(
        sameText(sink->transcript(), QString::fromStdU32String(text.substr(0, keysBeforeGate + 1))))
        << "only the key being typed is finished; what was still queued is not typed";
    EXPECT_EQ(x.keymap(), keymapBefore);
}

TEST(TypingEdgeCases, ATrailingCtrlPrefixIsDroppedAndABareBraceIsTyped) {
    sink->clear();
    std::string problem;
    SendKeys injector(XTestBackend::open(problem));
    injector.sendKeys(QStringLiteral("x{y"));  // a bare brace, as a sentinel in the data leaves
    injector.sendKeys(QStringLiteral("ab^"));  // Ctrl for no key at the end of a message
    injector.sendKeys(QStringLiteral("c^^d")); // not Ctrl+C; Ctrl held once for d
    const QString expected = QStringLiteral("x{yabc^d");
    sink->collect([&] {
        return injector.waitUntilTypedFor(0ms) && sink->transcript().size() >= expected.size();
    });
    EXPECT_TRUE(sameText(sink->transcript(), expected));
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
    const QString mode1 = QStringLiteral("AB{ENTER}^c(1+2)^3 [x]  ÿ€");
    EXPECT_TRUE(sameText(received(mode1.size()), mode1));
    sink->clear();
    EXPECT_EQ(runVxbtType("\x80\x83\r\nz", {}), 0); // mode 0: € and ƒ, CR LF is one Enter
    const QString mode0 = QStringLiteral("€ƒ{ENTER}z");
    EXPECT_TRUE(sameText(received(mode0.size()), mode0));
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
