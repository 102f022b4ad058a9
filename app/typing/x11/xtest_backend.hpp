#pragma once

#include "typing/keystroke_backend.hpp"

#include <memory>
#include <span>
#include <string>

namespace vxorv {

// Types into the focused X11 window through the XTest extension, whatever the
// user's keyboard layout: each character is looked up in the live keymap
// (active group, with Shift or AltGr as the keymap says), and one the layout
// lacks is bound to a level of a spare keycode. While a run of keys is typed,
// Caps Lock, Num Lock and any modifier the user holds are switched off so
// that they cannot change what is typed, and the server's auto-repeat is off
// for the keys typed; both come back when the queue runs empty (idle()).
//
// A borrowed keycode is rebound only once it has been quiet for seconds and
// the focused window, when it takes part in the window manager's ping, has
// answered one sent after its last key: a busy client may translate a key
// much later. When a text needs more distinct borrowed characters than there
// are places, typing waits for one rather than type a wrong character.
// Borrowed keycodes are given back after a minute without typing and on
// destruction (waiting up to 1.2 s for them to be quiet and read).
// What is changed is recorded on the root window, and a typist killed before
// giving it back has it undone by the next one to open.
class XTestBackend final : public KeystrokeBackend {
  public:
    // Connects to the display named by DISPLAY. Returns null, with `problem`
    // saying what is missing, when there is no such display or it lacks the
    // XTest or XKB extension.
    static std::unique_ptr<XTestBackend> open(std::string& problem);
    ~XTestBackend() override;

    XTestBackend(const XTestBackend&) = delete;
    XTestBackend& operator=(const XTestBackend&) = delete;

    // Binds what the message borrows in one keymap change, as far as there
    // are places for it.
    void beginMessage(std::span<const KeyEvent> events) override;
    bool type(const KeyEvent& event) override;
    // Switches the locks and the auto-repeat back on.
    void idle() override;

  private:
    class Session;
    explicit XTestBackend(std::unique_ptr<Session> session);
    std::unique_ptr<Session> m_session;
};

} // namespace vxorv
