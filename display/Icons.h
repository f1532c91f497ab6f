// The program's own pictures: the window icon and the face of the Spiral button.
#pragma once

#include <QIcon>
#include <QImage>

namespace rd::icons {

// 32 x 32 pixels: a green spiral on a dark field.
QImage spiralPicture();
QIcon windowIcon();

} // namespace rd::icons
