// The pictures of the maps over two settings: the analytic map coloured by class, and the
// simulated map's mosaic of final fields, with the same axes, ticks and legend frame.
#pragma once

#include "pictures/FieldPicture.h"
#include "runs/Maps.h"

#include <QImage>

#include <span>
#include <string>
#include <vector>

namespace rd::pictures {

// One colour per class, shaded by the predicted wavelength where patterns grow; null when
// it cannot be made.
QImage analyticPicture(const runs::MapDescription& request, const runs::AnalyticMap& map);

// The same picture from the rows as they come (runs::classifyMapRows): of each point only its
// class and predicted wavelength are kept, 9 bytes, not its states.
class AnalyticMapPicture {
public:
    explicit AnalyticMapPicture(const runs::MapDescription& request); // kept by reference
    // Row j's points; rows may come from several threads at once, each row once.
    void addRow(std::size_t j, std::span<const analysis::PointResult> row);
    QImage draw() const; // null when it cannot be made

private:
    const runs::MapDescription& request_;
    std::vector<analysis::PointClass> kinds_;
    std::vector<double> wavelengths_;
};

struct MosaicStyle {
    int tile = 64; // pixels of a tile
    Colormap colormap = Colormap::Gray; // of the tiles, one range for all
    std::string initText = "zero"; // the start as asked for, for the subtitle
};
// The final fields of u as tiles ordered like the axes, each framed by its run's state; a
// point's tile is drawn from what mosaicTile kept of its field.
QImage mosaicPicture(
    const runs::MapDescription& map, const runs::SimulatedMap& points, const MosaicStyle& style);

// With --until steady, the map of the step at which each run stopped: one cell per point
// ordered like the axes, a settled run (converged or died out) shaded by its steps, the
// others marked as not settled or ended by an arithmetic error.
QImage stepsPicture(
    const runs::MapDescription& map, const runs::SimulatedMap& points, const MosaicStyle& style);

// What the mosaic keeps of a final field of u (n cells a side, or a line of n) for a tile of
// `tile` pixels (runs::MapHooks::keep): the field averaged over each pixel inside the tile's
// frame, row by row (a line: one value a column), and the field's finite range.
runs::KeptField mosaicTile(std::span<const float> u, int n, bool oneD, int tile);
// How many values that is.
std::size_t mosaicTileValues(bool oneD, int tile);

} // namespace rd::pictures
