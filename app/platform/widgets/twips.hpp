#pragma once

#include <QRect>

namespace vxorv {

// Window coordinates are laid out in twips, 15 to the pixel at 96 dpi; Qt
// scales the pixels for high-dpi screens.
constexpr int twipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    const int half = twipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / twipsPerPixel : -((-twips + half) / twipsPerPixel);
}

constexpr int pixelsToTwips(int pixels) {
    return pixels * twipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

} // namespace vxorv
