#pragma once

#include <QString>

namespace vxorv {

// Modal message boxes titled "VX Orvex".
class MessageBoxes {
  public:
    enum class Icon { Information, Exclamation, Question, Critical };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~MessageBoxes() = default;

    virtual Answer show(const QString& text, Icon icon, Buttons buttons) = 0;
};

} // namespace vxorv
