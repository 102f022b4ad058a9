#include "typing/x11/xtest_backend.hpp"

#include "typing/linux_named_keys.hpp"

#include "typing/x11/keyboard_loans.hpp"
#include "typing/x11/keycode_bindings.hpp"
#include "typing/x11/keymap_index.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <poll.h>
#include <span>
#include <thread>
#include <vector>

namespace vxorv {

namespace {

using x11::Keycode;
using x11::KeycodeBindings;
using x11::keyLevels;
using x11::KeymapIndex;
using x11::KeymapLevel;
using x11::KeyStroke;
using x11::Keysym;
using x11::ModifierMask;
using x11::setKeyLevels;

// The group a key uses when the keyboard is in `group`: keys with fewer
// groups wrap, clamp or redirect as the keymap says for that key.
int effectiveGroup(int group, int keyGroups, unsigned char groupInfo) {
    if (group < keyGroups) {
        return group;
    }
    switch (XkbOutOfRangeGroupAction(groupInfo)) {
    case XkbClampIntoRange:
        return keyGroups - 1;
    case XkbRedirectIntoRange: {
        const int target = XkbOutOfRangeGroupNumber(groupInfo);
        return target < keyGroups ? target : 0;
    }
    default:
        return group % keyGroups;
    }
}

// The fewest real modifiers that select `level` of a key type; nullopt when
// no active entry of the type reaches it.
std::optional<ModifierMask> levelModifiers(const XkbKeyTypeRec& type, int level) {
    if (level == 0) {
        return ModifierMask{0};
    }
    std::optional<ModifierMask> best;
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (entry.active && entry.level == level &&
            (!best || std::popcount(entry.mods.mask) < std::popcount(*best))) {
            best = entry.mods.mask;
        }
    }
    return best;
}

bool selectsLevel(Keysym keysym) {
    return keysym == XK_Shift_L || keysym == XK_Shift_R || keysym == XK_ISO_Level3_Shift ||
           keysym == XK_ISO_Level5_Shift;
}

bool selectsControl(Keysym keysym) {
    return keysym == XK_Control_L || keysym == XK_Control_R;
}

// A borrowed keycode stays bound while messages keep coming, and is given
// back once typing has been idle this long, or at exit.
constexpr auto idleGiveBack = std::chrono::seconds(60);
// At exit the wait for quiet is cut short here: the program must end within
// 2 s of a request to terminate, and a window more than this far behind is
// rare.
constexpr auto exitWaitLimit = std::chrono::milliseconds(1200);
// Keymap changes are this far apart at least: every change makes every client
// fetch the keymap again, and one that arrives while a client is fetching the
// previous one can be lost to it.
constexpr auto changeSpacing = std::chrono::milliseconds(100);
// While typing, the server confirms this often that it has processed the keys
// sent (one round trip), so that a stalled server does not make a key look
// older than it is.
constexpr auto confirmEvery = std::chrono::milliseconds(50);
// How long typing waits for the focused window to answer before a binding is
// changed all the same: a window that never answers (hung, or gone without the
// focus moving) must not stop typing for good.
constexpr auto answerPatience = std::chrono::seconds(10);

// Errors of requests about windows that may vanish at any moment are expected;
// they must not end the program, as Xlib's default handler does.
int ignoreErrors(Display* /*display*/, XErrorEvent* /*error*/) {
    return 0;
}

struct KeyboardFree {
    void operator()(XkbDescPtr desc) const { XkbFreeKeyboard(desc, 0, True); }
};
using KeyboardPtr = std::unique_ptr<XkbDescRec, KeyboardFree>;

bool hasKeyTypesAndSyms(const XkbDescRec* desc) {
    return desc != nullptr && desc->map != nullptr && desc->map->key_sym_map != nullptr &&
           desc->map->syms != nullptr && desc->map->types != nullptr;
}

bool isDown(const std::array<char, 32>& keys, int keycode) {
    return (keys[static_cast<std::size_t>(keycode / 8)] & (1 << (keycode % 8))) != 0;
}

} // namespace

class XTestBackend::Session {
  public:
    using Clock = KeycodeBindings::Clock;

    explicit Session(Display* display)
        : m_display(display), m_record(display),
          m_wmProtocols(XInternAtom(display, "WM_PROTOCOLS", False)),
          m_ping(XInternAtom(display, "_NET_WM_PING", False)),
          m_giveBackThread([this] { giveBackWhenIdle(); }) {}

    ~Session() {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_wake.notify_all();
        m_giveBackThread.join();
        endRun();
        // Every binding is quiet within the quiet time of the last key.
        confirm();
        const Clock::time_point exitBy = Clock::now() + exitWaitLimit;
        std::this_thread::sleep_until(std::min(m_bindings.quietAt(), exitBy));
        awaitFocusedWindow(exitBy);
        giveBackBindings();
        m_record.write({});
        XSync(m_display, False);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Display* display() const { return m_display; }

    bool type(const KeyEvent& event) {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            begin();
        }
        std::optional<Planned> planned = plan(event);
        if (!planned) {
            return false;
        }
        if (planned->borrowed != 0) {
            place(*planned);
        }
        prepareKeys(keysOf(planned->stroke));
        press(*planned);
        return true;
    }

    // Binds the keysyms the message borrows, as many as there are places
    // for, in one keymap change, and switches off the auto-repeat of its keys.
    void beginMessage(std::span<const KeyEvent> events) {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            begin();
        }
        m_upcoming.clear();
        std::vector<Keycode> keys;
        for (const KeyEvent& event : events) {
            const std::optional<Planned> planned = plan(event);
            if (!planned) {
                continue;
            }
            const std::vector<Keycode> its = keysOf(planned->stroke);
            keys.insert(keys.end(), its.begin(), its.end());
            const Borrowed borrowed{planned->borrowed, planned->plain};
            if (borrowed.keysym != 0 &&
                std::find(m_upcoming.begin(), m_upcoming.end(), borrowed) == m_upcoming.end()) {
                m_upcoming.push_back(borrowed);
            }
        }
        if (!m_upcoming.empty()) {
            leaseWave(m_upcoming.front(), keys);
        }
        prepareKeys(keys);
    }

    void idle() {
        {
            std::lock_guard lock(m_mutex);
            endRun();
            m_idleSince = Clock::now();
        }
        m_wake.notify_all();
    }

  private:
    // A key to type: found in the keymap, or a keysym to borrow a place for.
    struct Planned {
        KeyStroke stroke;
        Keysym borrowed = 0;
        bool plain = false; // borrowed: only on a plain level (named keys, Ctrl)
        KeycodeBindings::Place place;
    };
    struct Borrowed {
        Keysym keysym = 0;
        bool plain = false;
        bool operator==(const Borrowed&) const = default;
    };

    // Starts a run of keys: reads the keymap and the keyboard state as they
    // are now (the user may have switched layout since the last run) and
    // switches off every modifier that would change what a key types.
    void begin() {
        discardEvents();
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        readKeymap(state.group);
        readRepeat();
        if (state.latched_mods != 0) {
            XkbLatchModifiers(m_display, XkbUseCoreKbd, state.latched_mods, 0);
        }
        m_lockedModifiers = state.locked_mods;
        if (m_lockedModifiers != 0) {
            XkbLockModifiers(m_display, XkbUseCoreKbd, m_lockedModifiers, 0);
        }
        releaseHeldModifiers(state.base_mods);
        m_running = true;
    }

    // Types what is left, then gives back what the run changed but the
    // borrowed keycodes, which stay bound for the next messages.
    void endRun() {
        if (!m_running) {
            return;
        }
        m_upcoming.clear();
        if (m_lockedModifiers != 0) {
            XkbLockModifiers(m_display, XkbUseCoreKbd, m_lockedModifiers, m_lockedModifiers);
            m_lockedModifiers = 0;
        }
        switchRepeatBackOn();
        m_typed.reset();
        confirm();
        writeRecord();
        XSync(m_display, False);
        discardEvents();
        m_running = false;
    }

    void giveBackWhenIdle() {
        std::unique_lock lock(m_mutex);
        while (!m_closing) {
            const bool waiting = !m_running && m_bindings.anyBound();
            if (waiting && Clock::now() >= m_idleSince + idleGiveBack) {
                giveBackBindings();
                writeRecord();
                XSync(m_display, False);
            } else if (waiting) {
                m_wake.wait_until(lock, m_idleSince + idleGiveBack);
            } else {
                m_wake.wait(lock);
            }
        }
    }

    void giveBackBindings() {
        for (Keycode keycode : m_bindings.releaseAll()) {
            setKeyLevels(m_display, keycode, {});
        }
        m_lastChange = Clock::now();
    }

    // A modifier key the user holds is released for good: pressing it again
    // afterwards could leave it stuck if the user let go in the meantime.
    void releaseHeldModifiers(ModifierMask held) {
        if (held == 0) {
            return;
        }
        std::array<char, 32> keys{};
        XQueryKeymap(m_display, keys.data());
        for (int keycode = 8; keycode < 256; ++keycode) {
            if (isDown(keys, keycode) &&
                (m_modifierMap[static_cast<std::size_t>(keycode)] & held) != 0) {
                XTestFakeKeyEvent(m_display, static_cast<unsigned>(keycode), False, CurrentTime);
            }
        }
    }

    // Any part of a keymap fetched from the server may be missing (a virtual
    // keyboard may have left one without modifiers): what is missing counts
    // as empty.
    void readKeymap(int group) {
        const KeyboardPtr desc(XkbGetMap(
            m_display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd));
        m_index = KeymapIndex{};
        m_modifierKeys.fill(0);
        m_modifierMap.fill(0);
        if (!hasKeyTypesAndSyms(desc.get())) {
            m_bindings.setSpares({}, false);
            return;
        }
        const unsigned char* modmap = desc->map->modmap;
        std::vector<KeymapLevel> levels;
        std::vector<Keycode> spares;
        ModifierMask levelModifierMask = 0;
        for (int code = desc->min_key_code; code <= desc->max_key_code; ++code) {
            const auto keycode = static_cast<Keycode>(code);
            const std::array<Keysym, 2> shown = keyLevels(desc.get(), keycode);
            if (const std::array<Keysym, 2> ours = m_bindings.levelsOf(keycode);
                ours != std::array<Keysym, 2>{}) {
                if (shown == ours) {
                    spares.push_back(keycode);
                    continue;
                }
                m_bindings.forget(keycode);
            }
            if (hasNoSymbols(desc.get(), keycode)) {
                spares.push_back(keycode);
                continue;
            }
            const ModifierMask sets = modmap != nullptr ? modmap[keycode] : 0;
            m_modifierMap[keycode] = sets;
            if (sets != 0 && (selectsLevel(shown[0]) || selectsControl(shown[0]))) {
                if (selectsLevel(shown[0])) {
                    levelModifierMask |= sets;
                }
                for (int bit = 0; bit < 8; ++bit) {
                    if ((sets & (1u << bit)) != 0 && m_modifierKeys[bit] == 0) {
                        m_modifierKeys[bit] = keycode;
                    }
                }
            }
            const int groups = XkbKeyNumGroups(desc.get(), keycode);
            addLevels(desc.get(), keycode,
                      effectiveGroup(group, groups, XkbKeyGroupInfo(desc.get(), keycode)), levels);
        }
        m_index = KeymapIndex(levels, levelModifierMask);
        m_bindings.setSpares(spares, m_modifierKeys[ShiftMapIndex] != 0);
    }

    static bool hasNoSymbols(XkbDescPtr desc, Keycode keycode) {
        const KeySym* syms = XkbKeySymsPtr(desc, keycode);
        for (int i = 0; i < XkbKeyNumSyms(desc, keycode); ++i) {
            if (syms[i] != NoSymbol) {
                return false;
            }
        }
        return true;
    }

    static void addLevels(XkbDescPtr desc, Keycode keycode, int group,
                          std::vector<KeymapLevel>& levels) {
        const int typeIndex = desc->map->key_sym_map[keycode].kt_index[group];
        if (typeIndex >= desc->map->num_types) {
            return;
        }
        const XkbKeyTypeRec& type = desc->map->types[typeIndex];
        for (int level = 0; level < type.num_levels && level < XkbKeyGroupsWidth(desc, keycode);
             ++level) {
            const auto keysym = static_cast<Keysym>(XkbKeySymEntry(desc, keycode, level, group));
            if (const std::optional<ModifierMask> mods = levelModifiers(type, level);
                mods && keysym != NoSymbol) {
                levels.push_back({keycode, keysym, *mods});
            }
        }
    }

    // How to type `event`, or nullopt when it cannot be typed here.
    std::optional<Planned> plan(const KeyEvent& event) {
        Planned planned;
        const ModifierMask ctrl = event.ctrl ? ControlMask : 0;
        std::optional<KeyStroke> found;
        Keysym keysym = NoSymbol;
        if (event.kind == KeyEvent::Kind::Named) {
            keysym = keysymOf(event.key);
            found = m_index.findKeysym(keysym);
            planned.plain = true;
        } else {
            found = m_index.findCharacter(event.character);
            keysym = found ? NoSymbol : x11::keysymForCharacter(event.character);
            planned.plain = event.ctrl;
        }
        if (found) {
            planned.stroke = {found->keycode, static_cast<ModifierMask>(found->modifiers | ctrl)};
        } else if (keysym != NoSymbol && m_bindings.hasPlaces(planned.plain)) {
            planned.stroke = {0, ctrl};
            planned.borrowed = keysym;
        } else {
            return std::nullopt;
        }
        for (int bit = 0; bit < 8; ++bit) {
            if ((planned.stroke.modifiers & (1u << bit)) != 0 && m_modifierKeys[bit] == 0) {
                return std::nullopt;
            }
        }
        return planned;
    }

    // Gives a borrowed key its place, binding it first (with the message's
    // next borrowed keysyms) when it has none, after waiting for a place to
    // become free when all are busy.
    void place(Planned& planned) {
        const Borrowed borrowed{planned.borrowed, planned.plain};
        if (!m_bindings.isBound(borrowed.keysym, borrowed.plain)) {
            std::vector<Keycode> keys;
            while (!leaseWave(borrowed, keys)) {
                confirm();
                std::this_thread::sleep_until(m_bindings.vacancyAt(borrowed.plain));
                awaitFocusedWindow(Clock::now() + answerPatience);
            }
            prepareKeys(keys);
        }
        const auto lease = m_bindings.lease(borrowed.keysym, borrowed.plain, Clock::now());
        planned.place = lease->place;
        planned.stroke.keycode = lease->place.keycode;
        if (lease->place.shifted) {
            planned.stroke.modifiers |= ShiftMask;
        }
    }

    // Leases places for `first` and the message's borrowed keysyms after it
    // that have none, up to the first one that finds no place; the keys they
    // will press go to `keys`. False when `first` found none.
    bool leaseWave(const Borrowed& first, std::vector<Keycode>& keys) {
        std::vector<Borrowed> wave{first};
        if (auto from = std::find(m_upcoming.begin(), m_upcoming.end(), first);
            from != m_upcoming.end()) {
            wave.assign(from, m_upcoming.end());
        }
        for (const Borrowed& borrowed : wave) {
            if (m_bindings.isBound(borrowed.keysym, borrowed.plain)) {
                continue;
            }
            const auto lease = m_bindings.lease(borrowed.keysym, borrowed.plain, Clock::now());
            if (!lease) {
                break;
            }
            keys.push_back(lease->place.keycode);
            if (lease->place.shifted) {
                keys.push_back(m_modifierKeys[ShiftMapIndex]);
            }
            if (std::find(m_rebound.begin(), m_rebound.end(), lease->place.keycode) ==
                m_rebound.end()) {
                m_rebound.push_back(lease->place.keycode);
            }
        }
        return m_bindings.isBound(first.keysym, first.plain);
    }

    // Before `keys` go out: switches off the server's auto-repeat for those not
    // yet switched off (a server that stalls between a key's press and its
    // release would otherwise repeat it) and binds the keysyms just leased,
    // after recording both for a successor.
    void prepareKeys(const std::vector<Keycode>& keys) {
        std::bitset<256> fresh;
        for (Keycode key : keys) {
            fresh.set(key, !m_typed.test(key));
        }
        if (fresh.none() && m_rebound.empty()) {
            return;
        }
        m_typed |= fresh;
        const std::bitset<256> repeatOff = fresh & m_repeats;
        m_repeatOff |= repeatOff;
        writeRecord();
        if (repeatOff.any()) {
            setRepeat(repeatOff, false);
        }
        if (!m_rebound.empty()) {
            std::this_thread::sleep_until(m_lastChange + changeSpacing);
            for (Keycode keycode : m_rebound) {
                setKeyLevels(m_display, keycode, m_bindings.levelsOf(keycode));
            }
            m_rebound.clear();
            m_lastChange = Clock::now();
        }
    }

    std::vector<Keycode> keysOf(const KeyStroke& stroke) const {
        std::vector<Keycode> keys;
        for (int bit = 0; bit < 8; ++bit) {
            if ((stroke.modifiers & (1u << bit)) != 0) {
                keys.push_back(m_modifierKeys[bit]);
            }
        }
        keys.push_back(stroke.keycode);
        return keys;
    }

    void press(const Planned& planned) {
        const std::vector<Keycode> keys = keysOf(planned.stroke);
        for (Keycode key : keys) {
            XTestFakeKeyEvent(m_display, key, True, CurrentTime);
        }
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            XTestFakeKeyEvent(m_display, *key, False, CurrentTime);
        }
        // One flush per key: the server sees each key as soon as it is typed.
        XFlush(m_display);
        const Clock::time_point now = Clock::now();
        if (planned.borrowed != 0) {
            m_bindings.typed(planned.place, now);
        }
        if (now >= m_lastConfirm + confirmEvery) {
            confirm();
        }
    }

    // Waits until the window with the keyboard focus has read every key the
    // server has processed so far, as far as it can tell: a window that takes
    // part in the window manager's ping answers one once it has read the
    // events before it, by `giveUp` at the latest. Others (and one that does
    // not answer in time) leave the quiet time alone to cover their lag.
    void awaitFocusedWindow(Clock::time_point giveUp) {
        const Clock::time_point askedAt = Clock::now();
        if (const Window window = pingable(focusWindow()); window != 0) {
            XClientMessageEvent ping{};
            ping.type = ClientMessage;
            ping.window = window;
            ping.message_type = m_wmProtocols;
            ping.format = 32;
            ping.data.l[0] = static_cast<long>(m_ping);
            ping.data.l[1] = ++m_pingsSent;
            ping.data.l[2] = static_cast<long>(window);
            // Windows answer a ping on the root window, some (Qt) for
            // structure changes of the root, some for those of its children.
            // Heard only while awaited: the desktop's every window change
            // would otherwise pile up unread.
            const Window root = DefaultRootWindow(m_display);
            XSelectInput(m_display, root, StructureNotifyMask | SubstructureNotifyMask);
            XSendEvent(m_display, window, False, NoEventMask, reinterpret_cast<XEvent*>(&ping));
            XFlush(m_display);
            awaitPong(m_pingsSent, giveUp);
            XSelectInput(m_display, root, NoEventMask);
            XSync(m_display, False);
            discardEvents();
        }
        m_bindings.answered(askedAt);
    }

    Window focusWindow() {
        Window focus = None;
        int revertTo = 0;
        XGetInputFocus(m_display, &focus, &revertTo);
        return focus == PointerRoot ? None : focus;
    }

    // `window` or the nearest of its ancestors that takes pings; 0 if none.
    Window pingable(Window window) {
        XSync(m_display, False);
        const auto previous = XSetErrorHandler(ignoreErrors);
        const Window root = DefaultRootWindow(m_display);
        Window found = 0;
        while (window != None && window != root && found == 0) {
            Atom* protocols = nullptr;
            int count = 0;
            if (XGetWMProtocols(m_display, window, &protocols, &count) != 0) {
                if (std::find(protocols, protocols + count, m_ping) != protocols + count) {
                    found = window;
                }
                XFree(protocols);
            }
            Window rootReturn = None;
            Window parent = None;
            Window* children = nullptr;
            unsigned int childCount = 0;
            if (XQueryTree(m_display, window, &rootReturn, &parent, &children, &childCount) == 0) {
                parent = None;
            }
            if (children != nullptr) {
                XFree(children);
            }
            window = parent;
        }
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return found;
    }

    void awaitPong(long number, Clock::time_point giveUp) {
        while (Clock::now() < giveUp) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == ClientMessage && event.xclient.message_type == m_wmProtocols &&
                    static_cast<Atom>(event.xclient.data.l[0]) == m_ping &&
                    event.xclient.data.l[1] == number) {
                    return;
                }
            }
            pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
            poll(&fd, 1, 10);
        }
    }

    // A round trip: the server has processed every key sent before it.
    void confirm() {
        const Clock::time_point sent = Clock::now();
        XSync(m_display, False);
        m_lastConfirm = Clock::now();
        m_bindings.processed(sent, m_lastConfirm);
    }

    void readRepeat() {
        m_repeats.reset();
        const KeyboardPtr desc(XkbAllocKeyboard());
        if (desc && XkbGetControls(m_display, XkbPerKeyRepeatMask, desc.get()) == Success) {
            for (int keycode = 0; keycode < 256; ++keycode) {
                const auto* mask = reinterpret_cast<const char*>(desc->ctrls->per_key_repeat);
                m_repeats.set(static_cast<std::size_t>(keycode),
                              (mask[keycode / 8] & (1 << (keycode % 8))) != 0);
            }
        }
    }

    // Sets the auto-repeat of `keys`, leaving every other key's as it is now.
    void setRepeat(const std::bitset<256>& keys, bool on) {
        const KeyboardPtr desc(XkbAllocKeyboard());
        if (!desc || XkbGetControls(m_display, XkbPerKeyRepeatMask, desc.get()) != Success) {
            return;
        }
        for (std::size_t keycode = 0; keycode < 256; ++keycode) {
            if (keys.test(keycode)) {
                const auto bit = static_cast<unsigned char>(1 << (keycode % 8));
                unsigned char& byte = desc->ctrls->per_key_repeat[keycode / 8];
                byte = static_cast<unsigned char>(on ? byte | bit : byte & ~bit);
            }
        }
        XkbSetControls(m_display, XkbPerKeyRepeatMask, desc.get());
    }

    void switchRepeatBackOn() {
        if (m_repeatOff.any()) {
            setRepeat(m_repeatOff, true);
            m_repeatOff.reset();
        }
    }

    void writeRecord() {
        std::vector<x11::KeyLoan> loans;
        for (int code = 8; code < 256; ++code) {
            const auto keycode = static_cast<Keycode>(code);
            const x11::KeyLoan loan{keycode, m_bindings.levelsOf(keycode),
                                    m_repeatOff.test(keycode), m_typed.test(keycode)};
            if (loan != x11::KeyLoan{keycode}) {
                loans.push_back(loan);
            }
        }
        m_record.write(loans);
    }

    void discardEvents() {
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    Display* m_display;
    x11::LoanRecord m_record;
    const Atom m_wmProtocols;
    const Atom m_ping;
    long m_pingsSent = 0;
    bool m_running = false;
    KeymapIndex m_index;
    KeycodeBindings m_bindings;
    std::array<Keycode, 8> m_modifierKeys{};       // a key that sets each real modifier
    std::array<ModifierMask, 256> m_modifierMap{}; // the modifiers each key sets
    unsigned m_lockedModifiers = 0;                // switched off by begin()
    std::vector<Borrowed> m_upcoming;              // what the current message borrows, in order
    std::vector<Keycode> m_rebound; // leased, to be bound before the next keys go out
    std::bitset<256> m_repeats;     // keys whose auto-repeat was on when the run began
    std::bitset<256> m_repeatOff;   // keys whose auto-repeat this run switched off
    std::bitset<256> m_typed;       // keys this run has pressed
    Clock::time_point m_lastChange;
    Clock::time_point m_lastConfirm;
    Clock::time_point m_idleSince;

    // The give-back thread shares the connection: everything above is guarded.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_closing = false;
    std::thread m_giveBackThread; // last: starts once the rest is ready
};

std::unique_ptr<XTestBackend> XTestBackend::open(std::string& problem) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        problem = name != nullptr && *name != '\0'
                      ? "cannot connect to the X display \"" + std::string(name) + "\""
                      : std::string("no X display: DISPLAY is not set");
        return nullptr;
    }
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        problem = "the X display \"" + std::string(DisplayString(display)) +
                  "\" lacks the XTest extension";
        XCloseDisplay(display);
        return nullptr;
    }
    int opcode = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
        problem =
            "the X display \"" + std::string(DisplayString(display)) + "\" lacks the XKB extension";
        XCloseDisplay(display);
        return nullptr;
    }
    // A typist killed earlier may have left keys bound, down or without
    // auto-repeat; undo that before reading the keymap.
    x11::recoverAbandonedLoans(display);
    return std::unique_ptr<XTestBackend>(new XTestBackend(std::make_unique<Session>(display)));
}

XTestBackend::XTestBackend(std::unique_ptr<Session> session) : m_session(std::move(session)) {}

XTestBackend::~XTestBackend() {
    Display* display = m_session->display();
    m_session.reset();
    XCloseDisplay(display);
}

bool XTestBackend::type(const KeyEvent& event) {
    return m_session->type(event);
}

void XTestBackend::beginMessage(std::span<const KeyEvent> events) {
    m_session->beginMessage(events);
}

void XTestBackend::idle() {
    m_session->idle();
}

} // namespace vxorv
