#pragma once

#include "typing/uinput/layout_keys.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace vxorv::uinput {

// A keyboard that reports key presses to the system: the seam between the
// backends that send key codes and the kernel's virtual input device (or a
// compositor's fake input).
class KeyDevice {
  public:
    virtual ~KeyDevice() = default;
    // Reports `code` going down or up as one input frame; false when the
    // device refused it.
    virtual bool key(EvdevCode code, bool down) = 0;
    // Empty while the device works; once it can report nothing more, why.
    virtual std::string failure() const { return {}; }
    // Which layout of the keymap the system applies to the keys now, counted
    // from 0, where the system tells; nullopt where it does not.
    virtual std::optional<std::uint32_t> activeLayout() { return std::nullopt; }
};

} // namespace vxorv::uinput
