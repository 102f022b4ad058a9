#pragma once

#include <cstdint>
#include <string>

namespace vxorv::gnome {

// A remote-desktop session of the compositor, which types keysyms with its own
// keyboard layout: the seam between the GNOME backend and D-Bus.
class RemoteDesktop {
  public:
    virtual ~RemoteDesktop() = default;
    // Presses or releases the key that types `keysym`; false when the session
    // refused it or is gone.
    virtual bool keysym(std::uint32_t keysym, bool down) = 0;
    // Empty while the session lasts; once it is gone, why.
    virtual std::string failure() const { return {}; }
};

} // namespace vxorv::gnome
