// The program's own pictures: the window icon and the face of the Spiral button.
#pragma once

#include <QIcon>
#include <QImage>

namespace rd::icons {

// Transparent rows and columns on each side of the Spiral button's picture.
inline constexpr int kSpiralMargin = 4;

// 32 x 32 pixels: a green spiral on a dark field, inside a transparent margin.
QImage spiralPicture();
QIcon windowIcon();

} // namespace rd::icons
