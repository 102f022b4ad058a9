#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vxorv::e2e {

// The test's own view of the X keyboard, to set up the conditions a user
// creates (a layout, Caps Lock, a held Shift) and to check what the typing
// left behind. Kept apart from Qt code because Xlib's macros clash with it.
class XKeyboard {
  public:
    XKeyboard(); // connects to DISPLAY; connected() says whether that worked
    ~XKeyboard();
    XKeyboard(const XKeyboard&) = delete;
    XKeyboard& operator=(const XKeyboard&) = delete;

    bool connected() const;
    // Loads a layout as `setxkbmap <layout>` does; false when that failed.
    static bool setLayout(const std::string& layout);
    void setCapsLock(bool on);
    bool capsLock();
    // Presses or releases Shift as if the user held it.
    void holdShift(bool down);
    bool shiftHeld();
    // The whole core keymap, to compare before and after typing.
    std::vector<unsigned long> keymap();
    // Keycodes without any symbol: what a backend may borrow.
    int spareKeycodes();

  private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace vxorv::e2e
