// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

// Layout sizes are kept in twips (1/1440 inch) and drawn at 96 dots per
// inch, 15 twips to the pixel; Qt scales for high-dpi screens.
constexpr int TwipsToPixels(int twips) {
    return (twips * 2 + 15) / 30;
}

constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}
