#include "typing/wayland/virtual_keyboard_backend.hpp"

#include "typing/wayland/virtual_keymap.hpp"
#include "typing/wayland/wayland_round_trip.hpp"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

namespace vxorv {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A round trip after this many keys: the compositor has then read them all,
// so the socket never fills (it takes about 270 keys).
constexpr int keysPerRoundTrip = 32;
// Keys per second at most: X11 windows under Xwayland lose or garble keys
// typed faster, and sway 1.7 can stall.
constexpr int keysPerSecond = 3000;
// Around a keymap change, time for X11 clients to handle the keys typed with
// the old keymap and to read the new one before its keys come.
constexpr auto keymapSettle = 150ms;
// A seat that had no keyboard gains ours; its windows need a moment to take it.
constexpr auto newKeyboardSettle = 500ms;

constexpr std::uint32_t pressed = WL_KEYBOARD_KEY_STATE_PRESSED;
constexpr std::uint32_t released = WL_KEYBOARD_KEY_STATE_RELEASED;

struct Globals {
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
    std::uint32_t seatCapabilities = 0;
};

void onSeatCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    static_cast<Globals*>(data)->seatCapabilities = capabilities;
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener{onSeatCapabilities, onSeatName};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(globals->seat, &seatListener, globals);
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

std::string displayName() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name != nullptr ? name : "";
}

} // namespace

class VirtualKeyboardBackend::Session {
  public:
    explicit Session(wl_display* display) : m_display(display) {}
    ~Session() {
        if (m_keyboard != nullptr) {
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        }
        if (m_globals.manager != nullptr) {
            zwp_virtual_keyboard_manager_v1_destroy(m_globals.manager);
        }
        if (m_globals.seat != nullptr) {
            wl_seat_destroy(m_globals.seat);
        }
        if (m_registry != nullptr) {
            wl_registry_destroy(m_registry);
        }
        if (m_failure.empty()) {
            wl_display_flush(m_display);
        }
        wl_display_disconnect(m_display);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Finds the seat and the protocol, creates the keyboard with its first
    // keymap; false, with the reason in `problem`, when that fails.
    bool start(std::string& problem) {
        m_registry = wl_display_get_registry(m_display);
        wl_registry_add_listener(m_registry, &registryListener, &m_globals);
        if (!roundTrip() || !roundTrip()) { // globals, then the seat's capabilities
            problem = m_failure;
            return false;
        }
        if (m_globals.manager == nullptr) {
            problem = "the compositor does not offer the virtual keyboard protocol "
                      "(zwp_virtual_keyboard_manager_v1)";
            return false;
        }
        if (m_globals.seat == nullptr) {
            problem = "the compositor has no seat";
            return false;
        }
        const bool seatHadKeyboard =
            (m_globals.seatCapabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_globals.manager,
                                                                             m_globals.seat);
        if (!uploadKeymap() || !becomeActiveKeyboard()) {
            problem = m_failure;
            return false;
        }
        if (!seatHadKeyboard) {
            std::this_thread::sleep_for(newKeyboardSettle);
        }
        return true;
    }

    void beginMessage(std::span<const KeyEvent> events) {
        m_message.assign(events.begin(), events.end());
        m_next = 0;
        makeRoomFor(charactersOf(m_message));
    }

    bool type(const KeyEvent& event) {
        const std::span<const KeyEvent> rest =
            m_next < m_message.size() && m_message[m_next] == event
                ? std::span<const KeyEvent>(m_message).subspan(m_next)
                : std::span<const KeyEvent>(&event, 1);
        ++m_next;
        if (!m_failure.empty()) {
            return false;
        }
        std::optional<VirtualKeymap::Key> key;
        if (event.kind == KeyEvent::Kind::Named) {
            key = VirtualKeymap::keyOf(event.key);
        } else if (!(key = m_keymap.keyOf(event.character))) {
            if (!VirtualKeymap::typeable(event.character)) {
                return false;
            }
            // More distinct characters in one message than a keymap holds:
            // keys for the rest of it.
            if (!makeRoomFor(charactersOf(rest))) {
                return false;
            }
            key = m_keymap.keyOf(event.character);
        }
        if (event.kind == KeyEvent::Kind::Character) {
            m_keymap.markTyped(event.character);
        }
        if (event.ctrl) {
            sendKey(VirtualKeymap::controlKey, pressed);
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, m_controlMask, 0, 0, 0);
        }
        sendKey(*key, pressed);
        sendKey(*key, released);
        if (event.ctrl) {
            sendKey(VirtualKeymap::controlKey, released);
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
        }
        if (++m_keysInBatch == keysPerRoundTrip) {
            return endBatch();
        }
        return true;
    }

    void idle() {
        if (m_failure.empty() && m_keysInBatch > 0) {
            endBatch();
        }
    }

    const std::string& failure() const { return m_failure; }

  private:
    // The first distinct characters of `events`, as many as a keymap holds.
    static std::vector<char32_t> charactersOf(std::span<const KeyEvent> events) {
        std::vector<char32_t> characters;
        for (const KeyEvent& event : events) {
            if (characters.size() == VirtualKeymap::capacity) {
                break;
            }
            if (event.kind == KeyEvent::Kind::Character &&
                std::find(characters.begin(), characters.end(), event.character) ==
                    characters.end()) {
                characters.push_back(event.character);
            }
        }
        return characters;
    }

    // Gives `characters` keys and uploads the changed keymap.
    bool makeRoomFor(const std::vector<char32_t>& characters) {
        return !m_keymap.makeRoomFor(characters) || changeKeymap();
    }

    void sendKey(VirtualKeymap::Key key, std::uint32_t state) {
        const auto now =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
        zwp_virtual_keyboard_v1_key(m_keyboard, static_cast<std::uint32_t>(now.count()), key,
                                    state);
    }

    // Waits until the compositor has read the batch, then keeps to the pace.
    bool endBatch() {
        const Clock::time_point due =
            m_batchStart + std::chrono::microseconds(1000000LL * m_keysInBatch / keysPerSecond);
        m_keysInBatch = 0;
        if (!roundTrip()) {
            return false;
        }
        std::this_thread::sleep_until(due);
        m_batchStart = Clock::now();
        return true;
    }

    // Sends the keymap as a sealed memory file, its size counting the
    // terminating NUL (compositors read it as a C string).
    bool uploadKeymap() {
        const std::string text = m_keymap.text();
        if (text.empty()) {
            return fail("could not build a keymap");
        }
        const int fd = memfd_create("vxorv-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd < 0) {
            return fail(std::string("could not create the keymap file: ") + std::strerror(errno));
        }
        const auto size = static_cast<ssize_t>(text.size() + 1);
        const bool written = write(fd, text.c_str(), static_cast<std::size_t>(size)) == size;
        fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
        if (written) {
            zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           static_cast<std::uint32_t>(size));
        }
        close(fd);               // the request holds its own copy
        m_controlMask = 1u << 2; // Control is the third modifier in every XKB keymap
        return written || fail("could not write the keymap file");
    }

    // The seat makes a keyboard its active one, and sends windows its keymap,
    // at its first event. That event is a modifier change here, well before
    // the first key, so that X11 windows under Xwayland, which take a while
    // to load a keymap, have it in time.
    bool becomeActiveKeyboard() {
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, m_controlMask, 0, 0, 0);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
        if (!roundTrip()) {
            return false;
        }
        std::this_thread::sleep_for(keymapSettle);
        return true;
    }

    bool changeKeymap() {
        if (!endBatch()) {
            return false;
        }
        std::this_thread::sleep_for(keymapSettle);
        if (!uploadKeymap() || !roundTrip()) {
            return false;
        }
        std::this_thread::sleep_for(keymapSettle);
        m_batchStart = Clock::now();
        return true;
    }

    // Sends what is buffered and waits for the compositor to have handled
    // it; false, with failure() set, when the connection broke or the
    // compositor did not answer in time.
    bool roundTrip() {
        if (!m_failure.empty()) {
            return false;
        }
        std::string failure;
        if (waylandRoundTrip(m_display, failure)) {
            return true;
        }
        return fail(wl_display_get_error(m_display) == EPROTO
                        ? "the Wayland compositor refused the virtual keyboard"
                        : failure);
    }

    bool fail(std::string why) {
        if (m_failure.empty()) {
            m_failure = std::move(why);
        }
        return false;
    }

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    Globals m_globals;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    VirtualKeymap m_keymap;
    std::vector<KeyEvent> m_message; // the message being typed
    std::size_t m_next = 0;          // the index in it of the next key to type
    std::uint32_t m_controlMask = 0;
    int m_keysInBatch = 0;
    Clock::time_point m_batchStart = Clock::now();
    std::string m_failure;
};

std::unique_ptr<VirtualKeyboardBackend> VirtualKeyboardBackend::open(std::string& problem) {
    const std::string name = displayName();
    if (name.empty()) {
        problem = "WAYLAND_DISPLAY is not set";
        return nullptr;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        problem = "cannot connect to the Wayland display \"" + name + "\"";
        return nullptr;
    }
    auto session = std::make_unique<Session>(display);
    if (!session->start(problem)) {
        return nullptr;
    }
    return std::unique_ptr<VirtualKeyboardBackend>(new VirtualKeyboardBackend(std::move(session)));
}

VirtualKeyboardBackend::VirtualKeyboardBackend(std::unique_ptr<Session> session)
    : m_session(std::move(session)) {}

VirtualKeyboardBackend::~VirtualKeyboardBackend() = default;

void VirtualKeyboardBackend::beginMessage(std::span<const KeyEvent> events) {
    m_session->beginMessage(events);
}

bool VirtualKeyboardBackend::type(const KeyEvent& event) {
    return m_session->type(event);
}

void VirtualKeyboardBackend::idle() {
    m_session->idle();
}

std::string VirtualKeyboardBackend::failure() const {
    return m_session->failure();
}

} // namespace vxorv
