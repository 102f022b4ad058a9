// The XTest backend against what a real desktop does to it: a window that
// translates its keys a second late, a server that stalls, a keymap without
// modifiers, a typist killed in the middle of a text. Each test runs on an X
// server of its own that this program starts (so that it can pause it), and
// the keys go to a plain Xlib window that looks each one up with
// XLookupString when it gets to it, as most X programs do.

#include "platform/code_page.hpp"
#include "typing/send_keys.hpp"
#include "typing/x11/xtest_backend.hpp"
#include "x_keyboard.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>
// After the test framework: the X headers define None, Bool and Status.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vxorv::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Xvfb on a display of its own choosing, which the test may pause.
class XServer {
  public:
    bool start() {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        m_pid = fork();
        if (m_pid == 0) {
            // The server goes with this program, even when it crashes.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
                   "-screen", "0", "640x480x24", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string display;
        char c = 0;
        while (m_pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            display += c;
        }
        close(fds[0]);
        if (display.empty()) {
            return false;
        }
        setenv("DISPLAY", (":" + display).c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        return true;
    }
    ~XServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGCONT);
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    void pause(std::chrono::milliseconds duration) const {
        kill(m_pid, SIGSTOP);
        std::this_thread::sleep_for(duration);
        kill(m_pid, SIGCONT);
    }

  private:
    pid_t m_pid = 0;
};

XServer server;

// A focused window writing down what each key press translates to: its
// character, U+FFFD for a key without a symbol. With a lag it reads its
// events only once per lag, all that came in since, as a busy client does.
// Taking part in the window manager's ping, it answers one as it reads it.
class LookupWindow {
  public:
    explicit LookupWindow(Clock::duration lag = {}, bool answersPings = false) : m_lag(lag) {
        m_display = XOpenDisplay(nullptr);
        m_window =
            XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 640, 480, 0, 0, 0);
        m_wmProtocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
        Atom ping = XInternAtom(m_display, "_NET_WM_PING", False);
        if (answersPings) {
            XSetWMProtocols(m_display, m_window, &ping, 1);
        }
        XSelectInput(m_display, m_window, KeyPressMask | StructureNotifyMask);
        XMapWindow(m_display, m_window);
        XEvent event;
        do {
            XNextEvent(m_display, &event);
        } while (event.type != MapNotify);
        XSetInputFocus(m_display, m_window, RevertToPointerRoot, CurrentTime);
        XSync(m_display, False);
        m_thread = std::thread([this] { readEvents(); });
    }
    ~LookupWindow() {
        m_stop = true;
        m_thread.join();
        XCloseDisplay(m_display);
    }
    LookupWindow(const LookupWindow&) = delete;
    LookupWindow& operator=(const LookupWindow&) = delete;

    // What arrived once `count` characters have, or nothing more for `quiet`
    // (by default a bound on a hang: a loaded machine may lag for seconds).
    std::u32string await(std::size_t count, Clock::duration quiet = 30s) {
        Clock::time_point lastChange = Clock::now();
        std::size_t last = 0;
        for (;;) {
            const std::u32string now = transcript();
            if (now.size() != last) {
                last = now.size();
                lastChange = Clock::now();
            }
            if (now.size() >= count || Clock::now() - lastChange > quiet) {
                return now;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    std::u32string transcript() {
        std::lock_guard lock(m_mutex);
        return m_transcript;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_transcript.clear();
    }
    // Returns once the window has read a message sent to it now: every key
    // the server delivered to it before has been written down.
    void fence() {
        const long number = ++m_fencesSent;
        Display* display = XOpenDisplay(nullptr);
        XClientMessageEvent message{};
        message.type = ClientMessage;
        message.window = m_window;
        message.format = 32;
        message.data.l[0] = number;
        XSendEvent(display, m_window, False, NoEventMask, reinterpret_cast<XEvent*>(&message));
        XCloseDisplay(display);
        const Clock::time_point giveUp = Clock::now() + 60s;
        while (m_fencesSeen < number && Clock::now() < giveUp) {
            std::this_thread::sleep_for(10ms);
        }
    }

  private:
    void readEvents() {
        Clock::time_point nextBurst = Clock::now() + m_lag;
        while (!m_stop) {
            if (m_lag != Clock::duration{}) {
                std::this_thread::sleep_until(nextBurst);
                nextBurst += m_lag;
            } else {
                pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
                poll(&fd, 1, 20);
            }
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == KeyPress) {
                    record(event.xkey);
                } else if (event.type == ClientMessage &&
                           event.xclient.message_type == m_wmProtocols) {
                    answerPing(event);
                } else if (event.type == ClientMessage) {
                    m_fencesSeen = event.xclient.data.l[0];
                }
            }
        }
    }
    void answerPing(XEvent ping) {
        const Window root = DefaultRootWindow(m_display);
        ping.xclient.window = root;
        XSendEvent(m_display, root, False, SubstructureNotifyMask | SubstructureRedirectMask,
                   &ping);
        XFlush(m_display);
    }
    void record(XKeyEvent& key) {
        char text[16];
        KeySym keysym = NoSymbol;
        XLookupString(&key, text, sizeof text, &keysym, nullptr);
        if (IsModifierKey(keysym)) {
            return;
        }
        const std::uint32_t c = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
        std::lock_guard lock(m_mutex);
        m_transcript += c != 0 ? static_cast<char32_t>(c) : U'\ufffd';
    }

    Clock::duration m_lag;
    Display* m_display = nullptr;
    Window m_window = 0;
    Atom m_wmProtocols = 0;
    std::atomic<bool> m_stop = false;
    long m_fencesSent = 0;
    std::atomic<long> m_fencesSeen = 0;
    std::mutex m_mutex;
    std::u32string m_transcript;
    std::thread m_thread;
};

using RepeatMask = std::array<unsigned char, 32>;

RepeatMask perKeyRepeat(Display* display) {
    RepeatMask mask{};
    XkbDescPtr desc = XkbAllocKeyboard();
    if (XkbGetControls(display, XkbPerKeyRepeatMask, desc) == Success) {
        std::copy_n(desc->ctrls->per_key_repeat, mask.size(), mask.begin());
    }
    XkbFreeKeyboard(desc, 0, True);
    return mask;
}

std::vector<int> keysDown(Display* display) {
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    std::vector<int> down;
    for (int keycode = 8; keycode < 256; ++keycode) {
        if ((keys[static_cast<std::size_t>(keycode / 8)] & (1 << (keycode % 8))) != 0) {
            down.push_back(keycode);
        }
    }
    return down;
}

std::u32string greekAndCyrillic() {
    std::u32string text;
    for (char32_t c = 0x3b1; c <= 0x3c9; ++c) {
        text += c;
    }
    for (char32_t c = 0x410; c <= 0x44f; ++c) {
        text += c;
    }
    return text;
}

QString keystrokes(const std::u32string& text) {
    return QString::fromStdU32String(text);
}

void typeAndWait(const std::u32string& text) {
    std::string problem;
    SendKeys injector(XTestBackend::open(problem));
    ASSERT_TRUE(injector.available()) << problem;
    injector.sendKeys(keystrokes(text));
    injector.waitUntilTyped();
}

std::string utf8(const std::u32string& text) {
    return QString::fromStdU32String(text).toStdString();
}

// Compares whole transcripts and, on a mismatch, shows where they part.
testing::AssertionResult sameText(const std::u32string& received, const std::u32string& expected) {
    if (received == expected) {
        return testing::AssertionSuccess();
    }
    const auto at = static_cast<std::size_t>(
        std::mismatch(received.begin(), received.end(), expected.begin(), expected.end()).first -
        received.begin());
    return testing::AssertionFailure()
           << "received " << received.size() << " characters, expected " << expected.size()
           << "; they part at " << at << ": received \"" << utf8(received.substr(at, 40))
           << "\", expected \"" << utf8(expected.substr(at, 40)) << "\"";
}

TEST(XTestRobustness, ALaggingWindowReadsEveryBorrowedCharacterRight) {
    XKeyboard x;
    const std::vector<unsigned long> keymapBefore = x.keymap();
    // More distinct characters than the keymap has spare levels, then one
    // more that is still bound when typing ends.
    const std::u32string text = greekAndCyrillic() + U"€";
    ASSERT_GT(static_cast<int>(text.size()), 2 * x.spareKeycodes());
    LookupWindow window(1s);
    typeAndWait(text);
    EXPECT_TRUE(sameText(window.await(text.size()), text));
    EXPECT_EQ(x.keymap(), keymapBefore) << "borrowed keycodes were not given back";
}

// Lagging longer than a binding's quiet time: only its answer to a ping says
// when it has read the keys typed on a place before that place is rebound.
TEST(XTestRobustness, AWindowLaggingPastTheQuietTimeThatAnswersPingsReadsEveryCharacterRight) {
    XKeyboard x;
    const std::vector<unsigned long> keymapBefore = x.keymap();
    const std::u32string text = greekAndCyrillic() + U"€";
    ASSERT_GT(static_cast<int>(text.size()), 2 * x.spareKeycodes());
    LookupWindow window(4s, true);
    {
        // The typist lives on until the window has read everything: at its
        // end it waits for the window only briefly, to end promptly.
        std::string problem;
        SendKeys injector(XTestBackend::open(problem));
        ASSERT_TRUE(injector.available()) << problem;
        injector.sendKeys(keystrokes(text));
        injector.waitUntilTyped();
        EXPECT_TRUE(sameText(window.await(text.size()), text));
    }
    EXPECT_EQ(x.keymap(), keymapBefore) << "borrowed keycodes were not given back";
}

TEST(XTestRobustness, TypesOnAKeymapWithoutModifiers) {
    LookupWindow window;
    {
        // As a virtual keyboard without modifier keys leaves it. (Loading a
        // keymap without modifier_map with xkbcomp keeps the old map.)
        Display* display = XOpenDisplay(nullptr);
        XModifierKeymap* none = XNewModifiermap(0);
        ASSERT_EQ(XSetModifierMapping(display, none), MappingSuccess);
        XFreeModifiermap(none);
        XkbDescPtr desc = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask,
                                    XkbUseCoreKbd);
        ASSERT_TRUE(desc != nullptr && desc->map != nullptr);
        EXPECT_EQ(desc->map->modmap, nullptr) << "the keymap still has modifiers";
        XkbFreeKeyboard(desc, 0, True);
        XCloseDisplay(display);
    }
    const std::u32string text = U"Shift-less: A1! é€";
    typeAndWait(text);
    EXPECT_TRUE(sameText(window.await(text.size()), text));
    ASSERT_TRUE(XKeyboard::setLayout("us"));
}

TEST(XTestRobustness, AStalledServerRepeatsNoKeyAndOtherKeysKeepTheirRepeat) {
    LookupWindow window;
    Display* display = XOpenDisplay(nullptr);
    const RepeatMask repeatBefore = perKeyRepeat(display);
    const std::u32string line = U"U|L;_ typed while the server stalls, 0123456789 ";
    std::u32string text;
    while (text.size() < 12000) { // within the injector's backlog
        text += line;
    }
    const int aKeycode = XKeysymToKeycode(display, XK_a); // typed
    const int qKeycode = XKeysymToKeycode(display, XK_q); // not typed
    ASSERT_TRUE(repeatBefore[aKeycode / 8] & (1 << (aKeycode % 8)));

    std::string problem;
    SendKeys injector(XTestBackend::open(problem));
    ASSERT_TRUE(injector.available()) << problem;
    bool typedKeyRepeatOff = false;
    bool untypedKeyRepeatOn = true;
    for (int round = 0; round < 4; ++round) {
        injector.sendKeys(keystrokes(text));
        // Looks while the keys go out, then stalls the server in their midst.
        bool typedKeyRepeatSeenOff = false;
        while (!typedKeyRepeatSeenOff && !injector.waitUntilTypedFor(0ms)) {
            const RepeatMask during = perKeyRepeat(display);
            typedKeyRepeatSeenOff = (during[aKeycode / 8] & (1 << (aKeycode % 8))) == 0;
            untypedKeyRepeatOn &= (during[qKeycode / 8] & (1 << (qKeycode % 8))) != 0;
        }
        typedKeyRepeatOff |= typedKeyRepeatSeenOff;
        server.pause(std::chrono::milliseconds(900 + 400 * round));
        injector.waitUntilTyped();
    }
    const std::u32string received = window.await(4 * text.size());
    EXPECT_TRUE(sameText(received, text + text + text + text));
    EXPECT_TRUE(typedKeyRepeatOff) << "the keys being typed kept their auto-repeat";
    EXPECT_TRUE(untypedKeyRepeatOn) << "a key not typed lost its auto-repeat";
    EXPECT_EQ(perKeyRepeat(display), repeatBefore) << "auto-repeat was not switched back on";
    XCloseDisplay(display);
}

// `vxbt type` with `bytes` on its standard input.
pid_t startVxbtType(const std::string& bytes) {
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const char* argv[] = {VXBT_PATH, "type", nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, VXBT_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ) !=
        0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (write(fds[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        pid = -1;
    }
    close(fds[1]);
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> keyLoanRecords(Display* display) {
    int count = 0;
    Atom* atoms = XListProperties(display, DefaultRootWindow(display), &count);
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(display, atoms[i]);
        if (std::string(name).find("VXORV") != std::string::npos) {
            records.emplace_back(name);
        }
        XFree(name);
    }
    XFree(atoms);
    return records;
}

TEST(XTestRobustness, AfterATypistIsKilledTheNextOneGivesTheKeyboardBack) {
    XKeyboard x;
    Display* display = XOpenDisplay(nullptr);
    const std::vector<unsigned long> keymapBefore = x.keymap();
    const RepeatMask repeatBefore = perKeyRepeat(display);
    // Windows-1252 characters a US layout lacks, more than its spare levels.
    std::string bytes;
    for (int b = 0x80; b <= 0xff; ++b) {
        if (b != 0x81 && b != 0x8d && b != 0x8f && b != 0x90 && b != 0x9d) { // unassigned
            bytes += static_cast<char>(b);
        }
    }
    const std::u32string expected =
        decodeWindows1252(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())))
            .toStdU32String();
    ASSERT_GT(static_cast<int>(expected.size()), 2 * x.spareKeycodes());
    LookupWindow window;
    // More distinct characters than places: a place is rebound only once it
    // has been quiet for seconds, so the typist is still at it after 60.
    const pid_t killed = startVxbtType(bytes + bytes + bytes);
    ASSERT_GT(killed, 0);
    window.await(60);
    kill(killed, SIGKILL);
    waitpid(killed, nullptr, 0);
    ASSERT_NE(x.keymap(), keymapBefore) << "killed before it borrowed anything";
    // The keys the killed typist sent are all written down before the count
    // starts again.
    window.await(std::u32string::npos, 1s);
    window.fence();
    window.clear();

    ASSERT_EQ(exitStatus(startVxbtType(bytes)), 0);
    EXPECT_TRUE(sameText(window.await(expected.size()), expected));
    EXPECT_EQ(x.keymap(), keymapBefore);
    EXPECT_EQ(perKeyRepeat(display), repeatBefore);
    EXPECT_EQ(keysDown(display), std::vector<int>{});
    EXPECT_EQ(keyLoanRecords(display), std::vector<std::string>{});
    XCloseDisplay(display);
}

} // namespace
} // namespace vxorv::e2e

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!vxorv::e2e::server.start()) {
        std::fprintf(stderr, "could not start Xvfb\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
