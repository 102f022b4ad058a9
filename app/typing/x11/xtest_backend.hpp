#pragma once

#include "typing/keystroke_backend.hpp"

#include <memory>
#include <string>

namespace vxorv {

// Types into the focused X11 window through the XTest extension, whatever the
// user's keyboard layout: each character is looked up in the live keymap
// (active group, with Shift or AltGr as the keymap says), and one the layout
// lacks is bound to a spare keycode for as long as it is needed. While a run
// of keys is typed, Caps Lock, Num Lock and any modifier the user holds are
// switched off so that they cannot change what is typed; the locks are
// switched back on when the queue runs empty (idle()), and borrowed keycodes
// are restored then and on destruction.
class XTestBackend final : public KeystrokeBackend {
  public:
    // Connects to the display named by DISPLAY. Returns null, with `problem`
    // saying what is missing, when there is no such display or it lacks the
    // XTest or XKB extension.
    static std::unique_ptr<XTestBackend> open(std::string& problem);
    ~XTestBackend() override;

    XTestBackend(const XTestBackend&) = delete;
    XTestBackend& operator=(const XTestBackend&) = delete;

    bool type(const KeyEvent& event) override;
    // Switches the locks back on and restores the borrowed keycodes that may
    // be restored (see KeycodeBindings), waiting up to 250 ms for them; any
    // left are restored by a later idle() or on destruction, which waits up to
    // 2 s for them.
    void idle() override;

  private:
    class Session;
    explicit XTestBackend(std::unique_ptr<Session> session);
    std::unique_ptr<Session> m_session;
};

} // namespace vxorv
