#include "platform/widgets/qt_message_boxes.hpp"

#include <QMessageBox>

namespace vxorv {
namespace {

QMessageBox::Icon toQt(MessageBoxes::Icon icon) {
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxes::Icon::Question:
        return QMessageBox::Question;
    case MessageBoxes::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(MessageBoxes::Buttons buttons) {
    switch (buttons) {
    case MessageBoxes::Buttons::Ok:
        return QMessageBox::Ok;
    case MessageBoxes::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageBoxes::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

} // namespace

MessageBoxes::Answer QtMessageBoxes::show(const QString& text, Icon icon, Buttons buttons) {
    QMessageBox box(toQt(icon), QStringLiteral("VX Orvex"), text, toQt(buttons));
    // Closing a Yes/No box by its frame or Escape answers No.
    if (buttons == Buttons::YesNo) {
        box.setEscapeButton(QMessageBox::No);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return Answer::Ok;
    }
}

} // namespace vxorv
