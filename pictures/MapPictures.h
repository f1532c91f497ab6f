// The pictures of the maps over two settings: the analytic map coloured by class, and the
// simulated map's mosaic of final fields, with the same axes, ticks and legend frame.
#pragma once

#include "pictures/FieldPicture.h"
#include "runs/Maps.h"

#include <QImage>

#include <string>

namespace rd::pictures {

// One colour per class, shaded by the predicted wavelength where patterns grow; null when
// it cannot be made.
QImage analyticPicture(const runs::MapSpec& spec, const runs::AnalyticMap& map);

struct MosaicStyle {
    int tile = 64; // pixels of a tile
    Colormap colormap = Colormap::Gray; // of the tiles, one range for all
    std::string initText = "zero"; // the start as asked for, for the subtitle
};
// The final fields of u as tiles ordered like the axes, each framed by its run's state.
QImage mosaicPicture(
    const runs::MapSpec& map, const runs::SimulatedMap& points, const MosaicStyle& style);

} // namespace rd::pictures
