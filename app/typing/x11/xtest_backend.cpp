#include "typing/x11/xtest_backend.hpp"

#include "typing/x11/keycode_bindings.hpp"
#include "typing/x11/keymap_index.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

namespace vxorv {

namespace {

using x11::Keycode;
using x11::KeycodeBindings;
using x11::KeymapIndex;
using x11::KeymapLevel;
using x11::KeyStroke;
using x11::Keysym;
using x11::ModifierMask;

constexpr std::array<Keysym, 30> namedKeysyms = {
    XK_Return, XK_Tab,  XK_Escape, XK_BackSpace, XK_Insert, XK_Delete, XK_Home, XK_End,
    XK_Prior,  XK_Next, XK_Up,     XK_Down,      XK_Left,   XK_Right,  XK_F1,   XK_F2,
    XK_F3,     XK_F4,   XK_F5,     XK_F6,        XK_F7,     XK_F8,     XK_F9,   XK_F10,
    XK_F11,    XK_F12,  XK_F13,    XK_F14,       XK_F15,    XK_F16};
static_assert(namedKeysyms.size() == static_cast<std::size_t>(NamedKey::F16) + 1);

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

// How long idle() may hold up the typing thread to restore borrowed keycodes
// (after a short message it needs about 100 ms), and how long exiting may.
constexpr auto idlePatience = std::chrono::milliseconds(250);
constexpr auto exitPatience = std::chrono::seconds(2);

struct KeymapFree {
    void operator()(XkbDescPtr desc) const { XkbFreeKeyboard(desc, 0, True); }
};

} // namespace

class XTestBackend::Session {
  public:
    explicit Session(Display* display) : m_display(display) {}
    ~Session() {
        finish(exitPatience, true);
        XCloseDisplay(m_display);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool type(const KeyEvent& event) {
        if (!m_running) {
            begin();
        }
        const std::optional<KeyStroke> stroke = strokeFor(event);
        if (!stroke) {
            return false;
        }
        const ModifierMask modifiers = stroke->modifiers | (event.ctrl ? ControlMask : 0);
        std::vector<Keycode> modifierKeys;
        for (int bit = 0; bit < 8; ++bit) {
            if ((modifiers & (1u << bit)) != 0) {
                if (m_modifierKeys[bit] == 0) {
                    return false;
                }
                modifierKeys.push_back(m_modifierKeys[bit]);
            }
        }
        for (Keycode key : modifierKeys) {
            XTestFakeKeyEvent(m_display, key, True, CurrentTime);
        }
        XTestFakeKeyEvent(m_display, stroke->keycode, True, CurrentTime);
        XTestFakeKeyEvent(m_display, stroke->keycode, False, CurrentTime);
        for (auto key = modifierKeys.rbegin(); key != modifierKeys.rend(); ++key) {
            XTestFakeKeyEvent(m_display, *key, False, CurrentTime);
        }
        // One flush per key: the server sees each key as soon as it is typed.
        XFlush(m_display);
        m_bindings.typed(stroke->keycode, KeycodeBindings::Clock::now());
        return true;
    }

    // Restores what begin() switched off, and the borrowed keycodes once that
    // is safe, waiting for them at most `patience`. Keycodes not yet safe to
    // restore stay bound (harmlessly: nothing else uses them) until a later
    // call; at exit they are restored after the wait whatever it left.
    void finish(KeycodeBindings::Clock::duration patience, bool exiting) {
        if (m_lockedModifiers != 0) {
            XkbLockModifiers(m_display, XkbUseCoreKbd, m_lockedModifiers, m_lockedModifiers);
            m_lockedModifiers = 0;
            XFlush(m_display);
        }
        std::this_thread::sleep_until(
            std::min(m_bindings.quietAt(), KeycodeBindings::Clock::now() + patience));
        const std::vector<Keycode> restorable =
            exiting ? m_bindings.releaseAll()
                    : m_bindings.releaseDue(KeycodeBindings::Clock::now());
        for (Keycode keycode : restorable) {
            setKeysym(keycode, NoSymbol);
        }
        XSync(m_display, False);
        discardEvents();
        m_running = false;
    }

  private:
    // Starts a run of keys: reads the keymap and the keyboard state as they
    // are now (the user may have switched layout since the last run) and
    // switches off every modifier that would change what a key types.
    void begin() {
        discardEvents();
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        readKeymap(state.group);
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

    // A modifier key the user holds is released for good: pressing it again
    // afterwards could leave it stuck if the user let go in the meantime.
    void releaseHeldModifiers(ModifierMask held) {
        if (held == 0) {
            return;
        }
        std::array<char, 32> keys{};
        XQueryKeymap(m_display, keys.data());
        for (int keycode = 8; keycode < 256; ++keycode) {
            const bool down = (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
            if (down && (m_modifierMap[keycode] & held) != 0) {
                XTestFakeKeyEvent(m_display, static_cast<unsigned>(keycode), False, CurrentTime);
            }
        }
    }

    void readKeymap(int group) {
        const std::unique_ptr<XkbDescRec, KeymapFree> desc(XkbGetMap(
            m_display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd));
        m_index = KeymapIndex{};
        m_modifierKeys.fill(0);
        m_modifierMap.fill(0);
        if (!desc) {
            return;
        }
        std::vector<KeymapLevel> levels;
        std::vector<Keycode> spares;
        ModifierMask levelModifierMask = 0;
        for (int code = desc->min_key_code; code <= desc->max_key_code; ++code) {
            const auto keycode = static_cast<Keycode>(code);
            const int groups = XkbKeyNumGroups(desc.get(), keycode);
            const Keysym first =
                groups > 0 ? static_cast<Keysym>(XkbKeySymEntry(desc.get(), keycode, 0, 0)) : 0;
            if (const Keysym ours = m_bindings.boundTo(keycode); ours != 0) {
                if (first == ours) {
                    spares.push_back(keycode);
                    continue;
                }
                m_bindings.forget(keycode);
            }
            if (XkbKeyNumSyms(desc.get(), keycode) == 0 || hasNoSymbols(desc.get(), keycode)) {
                spares.push_back(keycode);
                continue;
            }
            const ModifierMask sets = desc->map->modmap[keycode];
            m_modifierMap[keycode] = sets;
            if (sets != 0 && (selectsLevel(first) || selectsControl(first))) {
                if (selectsLevel(first)) {
                    levelModifierMask |= sets;
                }
                for (int bit = 0; bit < 8; ++bit) {
                    if ((sets & (1u << bit)) != 0 && m_modifierKeys[bit] == 0) {
                        m_modifierKeys[bit] = keycode;
                    }
                }
            }
            addLevels(desc.get(), keycode,
                      effectiveGroup(group, groups, XkbKeyGroupInfo(desc.get(), keycode)), levels);
        }
        m_index = KeymapIndex(levels, levelModifierMask);
        m_bindings.setSpares(spares);
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
        const XkbKeyTypeRec& type = *XkbKeyKeyType(desc, keycode, group);
        for (int level = 0; level < type.num_levels; ++level) {
            const auto keysym = static_cast<Keysym>(XkbKeySymEntry(desc, keycode, level, group));
            if (const std::optional<ModifierMask> mods = levelModifiers(type, level);
                mods && keysym != NoSymbol) {
                levels.push_back({keycode, keysym, *mods});
            }
        }
    }

    std::optional<KeyStroke> strokeFor(const KeyEvent& event) {
        if (event.kind == KeyEvent::Kind::Named) {
            const Keysym keysym = namedKeysyms[static_cast<std::size_t>(event.key)];
            if (auto stroke = m_index.findKeysym(keysym)) {
                return stroke;
            }
            return borrow(keysym);
        }
        if (auto stroke = m_index.findCharacter(event.character)) {
            return stroke;
        }
        const Keysym keysym = x11::keysymForCharacter(event.character);
        if (keysym == NoSymbol) {
            return std::nullopt;
        }
        return borrow(keysym);
    }

    // Binds a keysym the keymap lacks to a spare keycode.
    std::optional<KeyStroke> borrow(Keysym keysym) {
        const std::optional<KeycodeBindings::Lease> lease =
            m_bindings.lease(keysym, KeycodeBindings::Clock::now());
        if (!lease) {
            return std::nullopt;
        }
        if (lease->rebind) {
            std::this_thread::sleep_until(lease->notBefore);
            setKeysym(lease->keycode, keysym);
        }
        return KeyStroke{lease->keycode, 0};
    }

    void setKeysym(Keycode keycode, Keysym keysym) {
        // Two levels alike: with Shift, or as the server derives key types from
        // a core mapping, the key still types the same symbol.
        std::array<KeySym, 2> keysyms{keysym, keysym};
        XChangeKeyboardMapping(m_display, keycode, 2, keysyms.data(), 1);
    }

    void discardEvents() {
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    Display* m_display;
    bool m_running = false;
    KeymapIndex m_index;
    KeycodeBindings m_bindings;
    std::array<Keycode, 8> m_modifierKeys{};       // a key that sets each real modifier
    std::array<ModifierMask, 256> m_modifierMap{}; // the modifiers each key sets
    unsigned m_lockedModifiers = 0;                // switched off by begin()
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
    return std::unique_ptr<XTestBackend>(new XTestBackend(std::make_unique<Session>(display)));
}

XTestBackend::XTestBackend(std::unique_ptr<Session> session) : m_session(std::move(session)) {}

XTestBackend::~XTestBackend() = default;

bool XTestBackend::type(const KeyEvent& event) {
    return m_session->type(event);
}

void XTestBackend::idle() {
    m_session->finish(idlePatience, false);
}

} // namespace vxorv
