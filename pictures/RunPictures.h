// The pictures of a run's state: the 2D field by a style, the two profiles of a line, and
// the caption that names the model, the step and the time.
#pragma once

#include "pictures/FieldPicture.h"
#include "runs/Run.h"

#include <QImage>

#include <cstdint>
#include <string>

namespace rd::pictures {

// "Gierer-Meinhardt   step 20000   t = 20000".
std::string runCaption(const runs::Prepared& run, std::int32_t step);

// The 2D field of the run's current set by the style (plain: the window's grey picture).
// Throws std::bad_alloc when it cannot be made.
QImage fieldPictureOf(const runs::Prepared& run, const PictureStyle& style, std::int32_t step);

// The profile of one species of a line as the window's profile box shows it, zoomed.
QImage profilePictureOf(const runs::Prepared& run, char species, int zoom);

} // namespace rd::pictures
