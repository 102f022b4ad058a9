#pragma once

#include "platform/message_boxes.hpp"

namespace vxorv {

// Message boxes on QMessageBox, titled "VX Orvex", without a parent: the
// main window is mostly hidden.
class QtMessageBoxes final : public MessageBoxes {
  public:
    Answer show(const QString& text, Icon icon, Buttons buttons) override;
};

} // namespace vxorv
