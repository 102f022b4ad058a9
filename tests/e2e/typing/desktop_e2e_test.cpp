// End to end under a headless GNOME or KDE compositor (in_desktop.sh):
// keystroke strings go through the injector and the backend the session
// chooses into a native Wayland text editor, which must show exactly the text
// meant; characters the compositor's layout lacks are reported and left out,
// and the rest of the message is typed.
//
// desktop_e2e_test GNOME|KDE: the backend expected on that desktop.

#include "typing/keystroke_backend_factory.hpp"
#include "typing/send_keys.hpp"
#include "typing/uinput/layout_keys.hpp"
#include "typing/uinput/session_layout.hpp"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextDocument>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

QT_BEGIN_NAMESPACE
// Failures show the text, not bytes.
inline void PrintTo(const QString& s, std::ostream* out) {
    *out << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;

QPlainTextEdit* editor = nullptr;
SendKeys* injector = nullptr;
std::string backendName;
// On GNOME the compositor finds € on the extra Euro key of its "us" keymap;
// key codes stop at F24, where no layout puts €.
bool euroTypeable() {
    return backendName == "GNOME";
}

constexpr int quietMs = 300;

// Serves the editor's events until `done()` or `timeoutMs` passed. The
// compositor holds only about 15 kB of events for a client that does not
// read them and then drops the client, so the wait is in the event loop,
// never in a blocking call, and Qt reads the keys as fast as they come.
void serveEventsUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
    QTimer tick; // wakes the loop to look at `done()` again
    tick.start(5);
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

// Types `keystrokes` and waits until the editor shows `expected` (or a
// minute passes), then for anything more than expected.
QString typeAndRead(const QString& keystrokes, const QString& expected) {
    editor->clear();
    injector->sendKeys(keystrokes);
    serveEventsUntil([&] {
        return injector->waitUntilTypedFor(0ms) && editor->document()->toRawText() == expected;
    });
    serveEventsUntil([] { return false; }, quietMs);
    return editor->document()->toRawText();
}

// The session's keyboard may be the headless seat's first, which the window
// picks up at its own pace: types a probe until one arrives. Probes typed
// before may still be on their way; a last key, which comes after all of
// them, says when they have arrived, and no probe lands in a test's text.
bool keyboardReachesTheWindow() {
    for (int attempt = 0; attempt < 60; ++attempt) {
        injector->sendKeys(QStringLiteral("x"));
        serveEventsUntil([] { return !editor->document()->isEmpty(); }, 1000);
        if (!editor->document()->isEmpty()) {
            injector->sendKeys(QStringLiteral("y"));
            serveEventsUntil([] { return editor->document()->toRawText().endsWith(u'y'); });
            return editor->document()->toRawText().endsWith(u'y');
        }
    }
    return false;
}

QString printableAsciiEscaped() {
    QString keys;
    for (char c = ' '; c <= '~'; ++c) {
        const QString s(QLatin1Char{c});
        keys += QStringLiteral("{}()+^~%!").contains(QLatin1Char{c}) ? '{' + s + '}' : s;
    }
    return keys;
}

QString printableAscii() {
    QString text;
    for (char c = ' '; c <= '~'; ++c) {
        text += QLatin1Char{c};
    }
    return text;
}

TEST(DesktopTyping, InLayoutTextArrivesExactly) {
    const auto before = injector->counts();
    QString keys;
    QString expected;
    for (int i = 0; i < 8; ++i) {
        keys += printableAsciiEscaped() + QStringLiteral("{ENTER}\t");
        expected += printableAscii() + QChar::ParagraphSeparator + QStringLiteral("\t");
    }
    EXPECT_EQ(typeAndRead(keys, expected), expected);
    EXPECT_EQ(injector->counts().refused, before.refused);
}

// A long message arrives whole and in order; the rate goes to the log.
TEST(DesktopTyping, ALongMessageArrivesExactly) {
    QString text;
    for (int i = 0; text.size() < 4096; ++i) {
        text += QString::number(i) + QLatin1Char(i % 10 == 9 ? '.' : ' ');
    }
    text.truncate(4096);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(typeAndRead(text, text), text);
    const double seconds = static_cast<double>(clock.elapsed() - quietMs) / 1000.0;
    std::printf("%s: %lld characters in %.2f s, %.0f characters/s\n", backendName.c_str(),
                static_cast<long long>(text.size()), seconds,
                static_cast<double>(text.size()) / seconds);
}

TEST(DesktopTyping, NamedKeysAndCtrlReachTheWindow) {
    // Ctrl+A selects everything, so the next letter replaces it.
    EXPECT_EQ(
        typeAndRead(QStringLiteral("ab{LEFT}X{END}c{BS}d^anew{HOME}{DEL}N"), QStringLiteral("New")),
        QStringLiteral("New"));
}

TEST(DesktopTyping, CharactersTheLayoutLacksAreReportedAndTheRestTyped) {
    const auto before = injector->counts();
    const QString expected =
        euroTypeable() ? QStringLiteral("Order 4711 € .") : QStringLiteral("Order 4711  .");
    EXPECT_EQ(typeAndRead(QStringLiteral("Order 4711 é€ ö."), expected), expected);
    EXPECT_EQ(injector->counts().refused - before.refused, euroTypeable() ? 2u : 3u);
}

// The whole tool: the session's choice of backend and the report of what it
// could not type. é is 0xE9 and € 0x80 in Windows-1252.
TEST(DesktopTyping, VxbtChoosesGnomeAndNamesWhatItCouldNotType) {
    if (backendName != "GNOME") {
        GTEST_SKIP() << "only the test program has a desktop entry asking for fake input";
    }
    editor->clear();
    QProcess vxbt;
    vxbt.start(QStringLiteral(VXBT_PATH), {QStringLiteral("type")});
    vxbt.write("Order 4711 \xE9\x80.");
    vxbt.closeWriteChannel();
    const QString expected = QStringLiteral("Order 4711 €.");
    serveEventsUntil([&] {
        return vxbt.state() == QProcess::NotRunning && editor->document()->toRawText() == expected;
    });
    EXPECT_EQ(editor->document()->toRawText(), expected);
    EXPECT_EQ(vxbt.exitCode(), 1);
    EXPECT_THAT(vxbt.readAllStandardError().toStdString(), testing::HasSubstr("GNOME"));
}

bool germanLayout(const std::string& keymap) {
    std::string problem;
    const auto keys = uinput::LayoutKeys::fromKeymapText(keymap, problem);
    return keys && keys->forCharacter(U'ö', false).has_value();
}

// Under KDE started with the German layout alone (VXORV_KDE_LAYOUTS=de): the
// backend learns that layout from the compositor, and follows when the user
// configures another. y and z trade places between the two layouts.
TEST(DesktopTyping, LearnsAndFollowsTheCompositorsLayout) {
    if (qEnvironmentVariable("VXORV_KDE_LAYOUTS") != QStringLiteral("de")) {
        GTEST_SKIP() << "needs KDE started with the German layout";
    }
    EXPECT_EQ(typeAndRead(QStringLiteral("yzöß@"), QStringLiteral("yzöß@")),
              QStringLiteral("yzöß@"));

    QFile config(QDir::homePath() + QStringLiteral("/.config/kxkbrc"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write("[Layout]\nUse=true\nLayoutList=us\n");
    config.close();
    ASSERT_TRUE(QDBusConnection::sessionBus().send(
        QDBusMessage::createSignal(QStringLiteral("/Layouts"), QStringLiteral("org.kde.keyboard"),
                                   QStringLiteral("reloadConfig"))));
    // The compositor sends the new keymap to every keyboard at once: once a
    // new client sees it, the backend's own keyboard has it too.
    QElapsedTimer clock;
    clock.start();
    std::string problem;
    while (germanLayout(uinput::compositorKeymap(problem).value_or("")) &&
           !clock.hasExpired(60000)) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const auto before = injector->counts();
    EXPECT_EQ(typeAndRead(QStringLiteral("yzö@"), QStringLiteral("yz@")), QStringLiteral("yz@"));
    EXPECT_EQ(injector->counts().refused - before.refused, 1u);
}

// Under KDE started with the layouts "us,de" (VXORV_KDE_LAYOUTS): switching
// between them changes no keymap, so the backend asks KDE which is active.
TEST(DesktopTyping, TypesWithTheActiveOneOfSeveralLayouts) {
    if (qEnvironmentVariable("VXORV_KDE_LAYOUTS") != QStringLiteral("us,de")) {
        GTEST_SKIP() << "needs KDE started with the layouts us,de";
    }
    EXPECT_EQ(typeAndRead(QStringLiteral("yz"), QStringLiteral("yz")), QStringLiteral("yz"));
    QDBusMessage toGerman = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.keyboard"), QStringLiteral("/Layouts"),
        QStringLiteral("org.kde.KeyboardLayouts"), QStringLiteral("setLayout"));
    toGerman << 1u;
    // The keyboard settings service comes up a moment after the compositor.
    QElapsedTimer clock;
    clock.start();
    QDBusMessage reply;
    do {
        reply = QDBusConnection::sessionBus().call(toGerman);
    } while (reply.type() != QDBusMessage::ReplyMessage && !clock.hasExpired(60000));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(typeAndRead(QStringLiteral("yzö"), QStringLiteral("yzö")), QStringLiteral("yzö"));
}

TEST(DesktopTyping, TheCompositorTellsItsKeymap) {
    std::string problem;
    const auto keymap = uinput::compositorKeymap(problem);
    ASSERT_TRUE(keymap) << problem;
    EXPECT_NE(keymap->find("xkb_symbols"), std::string::npos);
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);

    QPlainTextEdit window;
    window.resize(800, 600);
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (!window.isActiveWindow() && !clock.hasExpired(30000)) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (!window.isActiveWindow()) {
        std::fprintf(stderr, "the text window did not get the keyboard focus\n");
        return 1;
    }

    vxorv::KeystrokeBackendChoice choice = vxorv::chooseKeystrokeBackend(vxorv::automaticBackend);
    if (argc != 2 || choice.name != argv[1]) {
        std::fprintf(stderr, "chose \"%s\" (%s), expected %s\n", choice.name.c_str(),
                     choice.problem.c_str(), argc == 2 ? argv[1] : "a backend name");
        return 1;
    }
    vxorv::e2e::backendName = choice.name;
    vxorv::SendKeys injector(std::move(choice.backend));
    vxorv::e2e::editor = &window;
    vxorv::e2e::injector = &injector;
    if (!vxorv::e2e::keyboardReachesTheWindow()) {
        std::fprintf(stderr, "no key reached the text window\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
