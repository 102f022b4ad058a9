#pragma once

#include <QLabel>
#include <QMouseEvent>

#include <functional>

namespace vxorv {

// A picture that runs an action when clicked with the left button.
class ClickablePicture final : public QLabel {
  public:
    using QLabel::QLabel;

    void setOnClick(std::function<void()> action) { m_onClick = std::move(action); }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            m_onClick) {
            m_onClick();
        }
        QLabel::mouseReleaseEvent(event);
    }

  private:
    std::function<void()> m_onClick;
};

} // namespace vxorv
