#pragma once

#include "typing/keystroke_backend.hpp"

#include <windows.h>

#include <functional>
#include <span>
#include <vector>

namespace vxorv {

// The input events that type `event` into the focused window: a character as
// its UTF-16 code units (KEYEVENTF_UNICODE, whatever the keyboard layout), a
// named key as its virtual-key code, Ctrl pressed around either. Ctrl with a
// character needs the character's own key, since applications see shortcuts
// by virtual key; empty when the layout has no key for it.
std::vector<INPUT> inputsFor(const KeyEvent& event);

// The Windows keystroke backend: SendInput. A key the system refuses (input
// blocked, or a window of higher integrity in front) is reported as not typed.
class SendInputBackend final : public KeystrokeBackend {
  public:
    // Inserts events into the input stream and returns how many it inserted,
    // as SendInput does.
    using Sender = std::function<unsigned(std::span<INPUT>)>;

    SendInputBackend();
    explicit SendInputBackend(Sender sender);

    bool type(const KeyEvent& event) override;

  private:
    Sender m_send;
};

} // namespace vxorv
