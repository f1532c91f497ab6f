#include "pictures/RunPictures.h"

#include "pictures/ProfileImage.h"

#include <cstdio>
#include <new>

namespace rd::pictures {

std::string runCaption(const runs::Prepared& run, std::int32_t step)
{
    char time[32];
    std::snprintf(time, sizeof time, "%g", static_cast<double>(step) * double { run.state.dt });
    return runs::modelDisplayName(run) + "   step " + std::to_string(step) + "   t = " + time;
}

QImage fieldPictureOf(const runs::Prepared& run, const PictureStyle& style, std::int32_t step)
{
    const SimState& s = run.state;
    const bool v = style.species == 'v';
    const auto cells = v ? runs::currentV(s, false) : runs::currentU(s, false);
    const float panelScale = v ? 255.0f / s.vMax : s.grayScale;
    QImage image
        = fieldPicture(cells, s.nCells, s.nCells, panelScale, style, runCaption(run, step));
    if (image.isNull())
        throw std::bad_alloc();
    return image;
}

QImage profilePictureOf(const runs::Prepared& run, char species, int zoom)
{
    const SimState& s = run.state;
    if (species == 'u')
        return zoomed(renderProfile(runs::currentU(s, true), s.uMax, QColor(255, 0, 0)), zoom);
    return zoomed(renderProfile(runs::currentV(s, true), s.vMax, QColor(0, 0, 255)), zoom);
}

} // namespace rd::pictures
