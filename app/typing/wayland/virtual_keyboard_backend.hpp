#pragma once

#include "typing/keystroke_backend.hpp"

#include <memory>
#include <string>

namespace vxorv {

// Types through the compositor's virtual keyboard protocol
// (zwp_virtual_keyboard_v1, offered by wlroots compositors), into native
// Wayland windows and, through Xwayland, X11 ones alike.
//
// The keyboard is created once, when the backend opens, and kept: a seat
// without a keyboard gains one only then, and keys sent before the focused
// window has picked it up are lost. It carries its own keymap (see
// VirtualKeymap), so any character can be typed whatever the user's layout.
// The keymap changes only between messages and only grows, keeping every
// character on its key: X11 windows read a changed keymap late and would
// type a character that moved as the old one. Only a message with more
// distinct characters than a keymap holds changes it in the middle.
//
// Pacing: a round trip after every 32 keys (flushing faster than the
// compositor reads kills the connection), and no more keys per second than
// X11 windows under Xwayland take exactly. A lost or stuck connection ends
// the backend (failure()); it never hangs the typing thread.
class VirtualKeyboardBackend final : public KeystrokeBackend {
  public:
    // Connects to the compositor named by WAYLAND_DISPLAY. Returns null, with
    // `problem` saying what is missing, when there is none or it does not
    // offer the protocol.
    static std::unique_ptr<VirtualKeyboardBackend> open(std::string& problem);
    ~VirtualKeyboardBackend() override;

    VirtualKeyboardBackend(const VirtualKeyboardBackend&) = delete;
    VirtualKeyboardBackend& operator=(const VirtualKeyboardBackend&) = delete;

    void beginMessage(std::span<const KeyEvent> events) override;
    bool type(const KeyEvent& event) override;
    void idle() override;
    std::string failure() const override;

  private:
    class Session;
    explicit VirtualKeyboardBackend(std::unique_ptr<Session> session);
    std::unique_ptr<Session> m_session;
};

} // namespace vxorv
