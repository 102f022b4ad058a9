#include "x_keyboard.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>

namespace vxorv::e2e {

struct XKeyboard::Connection {
    Display* display = XOpenDisplay(nullptr);
};

XKeyboard::XKeyboard() : m_connection(std::make_unique<Connection>()) {}

XKeyboard::~XKeyboard() {
    if (connected()) {
        XCloseDisplay(m_connection->display);
    }
}

bool XKeyboard::connected() const {
    return m_connection->display != nullptr;
}

bool XKeyboard::setLayout(const std::string& layout) {
    return std::system(("setxkbmap " + layout).c_str()) == 0;
}

void XKeyboard::setCapsLock(bool on) {
    XkbLockModifiers(m_connection->display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(m_connection->display, False);
}

bool XKeyboard::capsLock() {
    XkbStateRec state{};
    XkbGetState(m_connection->display, XkbUseCoreKbd, &state);
    return (state.locked_mods & LockMask) != 0;
}

void XKeyboard::holdShift(bool down) {
    Display* display = m_connection->display;
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Shift_L), down ? True : False,
                      CurrentTime);
    XSync(display, False);
}

bool XKeyboard::shiftHeld() {
    XkbStateRec state{};
    XkbGetState(m_connection->display, XkbUseCoreKbd, &state);
    return (state.base_mods & ShiftMask) != 0;
}

namespace {

// The server's whole keyboard mapping: `perKeycode` keysyms for each keycode.
struct KeyboardMapping {
    std::vector<unsigned long> syms;
    int perKeycode = 0;
};

KeyboardMapping readKeyboardMapping(Display* display) {
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display, &first, &last);
    KeyboardMapping mapping;
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1,
                                       &mapping.perKeycode);
    mapping.syms.assign(syms, syms + (last - first + 1) * mapping.perKeycode);
    XFree(syms);
    return mapping;
}

} // namespace

std::vector<unsigned long> XKeyboard::keymap() {
    return readKeyboardMapping(m_connection->display).syms;
}

int XKeyboard::spareKeycodes() {
    const KeyboardMapping mapping = readKeyboardMapping(m_connection->display);
    int spare = 0;
    for (auto key = mapping.syms.begin(); key != mapping.syms.end(); key += mapping.perKeycode) {
        const bool empty = std::all_of(key, key + mapping.perKeycode,
                                       [](unsigned long s) { return s == NoSymbol; });
        spare += empty ? 1 : 0;
    }
    return spare;
}

} // namespace vxorv::e2e
