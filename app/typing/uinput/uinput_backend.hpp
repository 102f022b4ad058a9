#pragma once

#include "typing/keystroke_backend.hpp"
#include "typing/uinput/key_device.hpp"
#include "typing/uinput/layout_keys.hpp"

#include <memory>
#include <string>

namespace vxorv {

// Types through a virtual keyboard (uinput), for Wayland sessions and the
// console: the system applies its keyboard layout to our key codes, so each
// character is looked up in that layout (see sessionLayout: the compositor's
// keymap unless XKB_DEFAULT_* say otherwise). A character the layout cannot
// type is refused.
class UinputBackend final : public KeystrokeBackend {
  public:
    UinputBackend(std::unique_ptr<uinput::KeyDevice> device,
                  std::unique_ptr<uinput::LayoutKeys> layout);

    // Creates the virtual keyboard; null with `problem` set when that fails.
    static std::unique_ptr<UinputBackend> open(std::string& problem);

    bool type(const KeyEvent& event) override;
    std::string failure() const override { return m_device->failure(); }

  private:
    bool press(const uinput::KeyChord& chord);

    std::unique_ptr<uinput::KeyDevice> m_device;
    std::unique_ptr<uinput::LayoutKeys> m_layout;
};

} // namespace vxorv
