#pragma once

#include "platform/message_boxes.hpp"

#include <vector>

namespace vxorv {

// Records every message box and answers with `answer`.
class FakeMessageBoxes final : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        Icon icon;
        Buttons buttons;
    };
    std::vector<Shown> shown;
    Answer answer = Answer::Ok;

    Answer show(const QString& text, Icon icon, Buttons buttons) override {
        shown.push_back({text, icon, buttons});
        return answer;
    }
};

} // namespace vxorv
