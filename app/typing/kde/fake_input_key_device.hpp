#pragma once

#include "typing/uinput/key_device.hpp"

#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct org_kde_kwin_fake_input;

namespace vxorv::kde {

// KDE's compositor's fake input: key codes that it treats as coming from a
// keyboard of its own, with its current layout. It offers the interface only
// to programs whose desktop entry asks for it (X-KDE-Wayland-Interfaces). The
// connection is kept for the life of the object; after open() one thread at a
// time may use it.
class FakeInputKeyDevice final : public uinput::KeyDevice {
  public:
    // Null with `problem` set when there is no Wayland compositor, or it
    // offers no fake input with keyboard keys to this program.
    static std::unique_ptr<FakeInputKeyDevice> open(std::string& problem);
    ~FakeInputKeyDevice() override;

    FakeInputKeyDevice(const FakeInputKeyDevice&) = delete;
    FakeInputKeyDevice& operator=(const FakeInputKeyDevice&) = delete;

    bool key(uinput::EvdevCode code, bool down) override;
    std::string failure() const override { return m_failure; }
    // The layout KDE's keyboard settings have active, asked on the session bus.
    std::optional<std::uint32_t> activeLayout() override;

  private:
    FakeInputKeyDevice(wl_display* display, wl_registry* registry,
                       org_kde_kwin_fake_input* fakeInput);

    wl_display* m_display;
    wl_registry* m_registry;
    org_kde_kwin_fake_input* m_fakeInput;
    std::string m_failure;
};

} // namespace vxorv::kde
