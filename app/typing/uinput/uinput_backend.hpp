#pragma once

#include "typing/keystroke_backend.hpp"
#include "typing/uinput/key_device.hpp"
#include "typing/uinput/layout_keys.hpp"
#include "typing/uinput/session_layout.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace vxorv {

// Types through a virtual keyboard (uinput), for Wayland sessions and the
// console: the system applies its keyboard layout to our key codes, so each
// character is looked up in that layout (see sessionKeymap: the compositor's
// keymap, followed as the user switches layouts, unless XKB_DEFAULT_* say
// otherwise). Where the device tells which of several layouts is active, it is
// asked before each burst of keys. A character the layout cannot type is
// refused.
class UinputBackend final : public KeystrokeBackend {
  public:
    // With `follow`, the layout is rebuilt whenever the compositor's changes.
    UinputBackend(std::unique_ptr<uinput::KeyDevice> device,
                  std::unique_ptr<uinput::LayoutKeys> layout,
                  std::unique_ptr<uinput::CompositorKeymap> follow = nullptr);

    // Creates the virtual keyboard; null with `problem` set when that fails.
    static std::unique_ptr<UinputBackend> open(std::string& problem);
    // Types on `device` with the session's layout; null with `problem` set
    // when the layout cannot be had.
    static std::unique_ptr<UinputBackend> forSession(std::unique_ptr<uinput::KeyDevice> device,
                                                     std::string& problem);

    bool type(const KeyEvent& event) override;
    std::string failure() const override { return m_device->failure(); }
    void idle() override { m_askLayout = true; }

  private:
    void followLayout();
    void selectActiveLayout();
    bool press(const uinput::KeyChord& chord);

    std::unique_ptr<uinput::KeyDevice> m_device;
    std::unique_ptr<uinput::LayoutKeys> m_layout;
    std::unique_ptr<uinput::CompositorKeymap> m_follow;
    std::uint32_t m_activeLayout = 0;
    bool m_askLayout = true; // ask the device which layout is active before the next key
};

} // namespace vxorv
