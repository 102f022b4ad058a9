#pragma once

#include "platform/message_boxes.hpp"

#include <functional>
#include <vector>

namespace vxorv {

// Records every message box and answers with `answer`; `whileShown` runs
// while a box is up (what else happens before the user answers).
class FakeMessageBoxes final : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        Icon icon;
        Buttons buttons;
    };
    std::vector<Shown> shown;
    Answer answer = Answer::Ok;
    std::function<void()> whileShown;

    Answer show(const QString& text, Icon icon, Buttons buttons) override {
        shown.push_back({text, icon, buttons});
        if (whileShown) {
            whileShown();
        }
        return answer;
    }
};

} // namespace vxorv
