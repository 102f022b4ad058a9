#include "typing/x11/keyboard_loans.hpp"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace vxorv::x11 {

namespace {

constexpr std::string_view recordPrefix = "_VXORV_KEY_LOANS_";
constexpr unsigned long itemsPerLoan = 4;
constexpr long repeatOffFlag = 1;
constexpr long mayBeDownFlag = 2;

template <typename T> struct XFreeDeleter {
    void operator()(T* p) const { XFree(p); }
};

struct KeyboardFree {
    void operator()(XkbDescPtr desc) const { XkbFreeKeyboard(desc, 0, True); }
};

// Top-level windows; a typist's window is one of them while it lives.
std::vector<Window> topLevelWindows(Display* display) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> windows;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0 &&
        children != nullptr) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

// Reads and deletes a record.
std::vector<KeyLoan> takeRecord(Display* display, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<KeyLoan> loans;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1 << 16, True,
                           XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
        if (format == 32) {
            loans = decodeLoans(reinterpret_cast<const long*>(data), count);
        }
        XFree(data);
    }
    XDeleteProperty(display, DefaultRootWindow(display), property);
    return loans;
}

void releaseKeysLeftDown(Display* display, const std::vector<KeyLoan>& loans) {
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    for (const KeyLoan& loan : loans) {
        if (loan.mayBeDown && (keys[loan.keycode / 8] & (1 << (loan.keycode % 8))) != 0) {
            XTestFakeKeyEvent(display, loan.keycode, False, CurrentTime);
        }
    }
}

void switchRepeatBackOn(Display* display, const std::vector<KeyLoan>& loans) {
    if (std::none_of(loans.begin(), loans.end(), [](const KeyLoan& l) { return l.repeatOff; })) {
        return;
    }
    const std::unique_ptr<XkbDescRec, KeyboardFree> desc(XkbAllocKeyboard());
    if (!desc || XkbGetControls(display, XkbPerKeyRepeatMask, desc.get()) != Success) {
        return;
    }
    for (const KeyLoan& loan : loans) {
        if (loan.repeatOff) {
            desc->ctrls->per_key_repeat[loan.keycode / 8] |=
                static_cast<unsigned char>(1 << (loan.keycode % 8));
        }
    }
    XkbSetControls(display, XkbPerKeyRepeatMask, desc.get());
}

void unbindBorrowedKeycodes(Display* display, const std::vector<KeyLoan>& loans) {
    const std::unique_ptr<XkbDescRec, KeyboardFree> desc(
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    for (const KeyLoan& loan : loans) {
        // A keycode someone has bound since is theirs now.
        if (loan.levels != std::array<Keysym, 2>{} &&
            keyLevels(desc.get(), loan.keycode) == loan.levels) {
            setKeyLevels(display, loan.keycode, {});
        }
    }
}

} // namespace

std::vector<long> encodeLoans(const std::vector<KeyLoan>& loans) {
    std::vector<long> items;
    items.reserve(loans.size() * itemsPerLoan);
    for (const KeyLoan& loan : loans) {
        items.push_back(loan.keycode);
        items.push_back((loan.repeatOff ? repeatOffFlag : 0) |
                        (loan.mayBeDown ? mayBeDownFlag : 0));
        items.push_back(static_cast<long>(loan.levels[0]));
        items.push_back(static_cast<long>(loan.levels[1]));
    }
    return items;
}

std::vector<KeyLoan> decodeLoans(const long* items, unsigned long count) {
    std::vector<KeyLoan> loans;
    for (unsigned long i = 0; i + itemsPerLoan <= count; i += itemsPerLoan) {
        if (items[i] < 8 || items[i] > 255) {
            continue;
        }
        KeyLoan loan;
        loan.keycode = static_cast<Keycode>(items[i]);
        loan.repeatOff = (items[i + 1] & repeatOffFlag) != 0;
        loan.mayBeDown = (items[i + 1] & mayBeDownFlag) != 0;
        loan.levels = {static_cast<Keysym>(items[i + 2]), static_cast<Keysym>(items[i + 3])};
        loans.push_back(loan);
    }
    return loans;
}

std::array<Keysym, 2> keyLevels(const _XkbDesc* desc, Keycode keycode) {
    if (desc == nullptr || desc->map == nullptr || desc->map->key_sym_map == nullptr ||
        desc->map->syms == nullptr || keycode < desc->min_key_code ||
        keycode > desc->max_key_code) {
        return {};
    }
    const auto* key = &desc->map->key_sym_map[keycode];
    const int groups = XkbNumGroups(key->group_info);
    const int width = key->width;
    if (groups == 0 || width == 0) {
        return {};
    }
    const KeySym* syms = &desc->map->syms[key->offset];
    return {static_cast<Keysym>(syms[0]), static_cast<Keysym>(width > 1 ? syms[1] : syms[0])};
}

void setKeyLevels(_XDisplay* display, Keycode keycode, std::array<Keysym, 2> levels) {
    std::array<KeySym, 2> keysyms{levels[0], levels[1]};
    XChangeKeyboardMapping(display, keycode, 2, keysyms.data(), 1);
}

LoanRecord::LoanRecord(_XDisplay* display) : m_display(display) {
    XSetWindowAttributes attributes{};
    m_owner = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly,
                            CopyFromParent, 0, &attributes);
    char name[64];
    std::snprintf(name, sizeof name, "%s%lx", recordPrefix.data(), m_owner);
    m_property = XInternAtom(display, name, False);
}

LoanRecord::~LoanRecord() {
    write({});
    XDestroyWindow(m_display, m_owner);
    XFlush(m_display);
}

void LoanRecord::write(const std::vector<KeyLoan>& loans) {
    if (loans.empty()) {
        if (m_written) {
            XDeleteProperty(m_display, DefaultRootWindow(m_display), m_property);
            m_written = false;
        }
        return;
    }
    const std::vector<long> items = encodeLoans(loans);
    XChangeProperty(m_display, DefaultRootWindow(m_display), m_property, XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(items.data()),
                    static_cast<int>(items.size()));
    m_written = true;
}

void recoverAbandonedLoans(_XDisplay* display) {
    XGrabServer(display);
    int count = 0;
    const std::unique_ptr<Atom, XFreeDeleter<Atom>> properties(
        XListProperties(display, DefaultRootWindow(display), &count));
    std::vector<char*> names(static_cast<std::size_t>(count), nullptr);
    if (properties && count > 0 &&
        XGetAtomNames(display, properties.get(), count, names.data()) != 0) {
        const std::vector<Window> alive = topLevelWindows(display);
        for (int i = 0; i < count; ++i) {
            const std::string_view name = names[static_cast<std::size_t>(i)];
            if (name.substr(0, recordPrefix.size()) != recordPrefix) {
                continue;
            }
            const std::string hex(name.substr(recordPrefix.size()));
            char* end = nullptr;
            const Window owner = std::strtoul(hex.c_str(), &end, 16);
            if (hex.empty() || *end != '\0' ||
                std::find(alive.begin(), alive.end(), owner) != alive.end()) {
                continue;
            }
            const std::vector<KeyLoan> loans = takeRecord(display, properties.get()[i]);
            releaseKeysLeftDown(display, loans);
            switchRepeatBackOn(display, loans);
            unbindBorrowedKeycodes(display, loans);
        }
    }
    for (char* name : names) {
        if (name != nullptr) {
            XFree(name);
        }
    }
    XUngrabServer(display);
    XSync(display, False);
}

} // namespace vxorv::x11
