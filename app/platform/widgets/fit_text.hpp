#pragma once

#include <QLabel>

namespace vxorv {

// Narrows a label's font until its text fits its width. The layout was made
// for a narrow font; the fallback sans font of a desktop can be wider.
inline void fitText(QLabel* label) {
    QFont font = label->font();
    for (int stretch = QFont::Unstretched;
         stretch > QFont::ExtraCondensed &&
         QFontMetrics(font).horizontalAdvance(label->text()) > label->width();
         stretch -= 5) {
        font.setStretch(stretch - 5);
    }
    label->setFont(font);
}

} // namespace vxorv
