#pragma once

#include "typing/uinput/layout_keys.hpp"

namespace vxorv::uinput {

// A keyboard that reports key presses to the system: the seam between the
// uinput backend and the kernel's virtual input device.
class KeyDevice {
  public:
    virtual ~KeyDevice() = default;
    // Reports `code` going down or up as one input frame; false when the
    // device refused it.
    virtual bool key(EvdevCode code, bool down) = 0;
};

} // namespace vxorv::uinput
