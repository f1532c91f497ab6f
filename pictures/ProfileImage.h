// The pictures of a line of cells without a window: the two bar profiles exactly as the
// window's profile boxes show them, and a space-time picture of u.
#pragma once

#include "pictures/FieldPicture.h"

#include <QColor>
#include <QImage>

#include <cstdint>
#include <span>
#include <vector>

namespace rd::pictures {

// The kymograph is the one picture that grows with the run's length: one grey level per
// pixel while the run lasts, four bytes per pixel for the picture. 2^26 pixels is 65536 rows
// of 1024 cells, or 16384 rows of 4096, about 320 MiB in all.
inline constexpr std::int64_t kMaxKymographPixels = std::int64_t { 1 } << 26;

// Inner height of the window's profile boxes, in pixels.
inline constexpr int kProfileHeight = 62;

// What the window's profile box shows after drawing `cells` into a white box of
// cells.size() x kProfileHeight pixels scaled 0..nCells across and `range` (top) to 0
// (bottom): per column a bar of `colour` from the zero line up to the value, the rest white.
// A value outside the box is cut off; NaN draws no bar.
QImage renderProfile(std::span<const float> cells, float range, QColor colour);

// Space-time picture of u on a line: one row per sample, time downwards, coloured as the 2D
// field picture (by default grey: 0 black, 255 / grayScale white).
class Kymograph {
public:
    // Room for `rows` rows is taken at once, so that a want of memory shows before the run.
    Kymograph(int nCells, float grayScale, std::int64_t rows = 0, const PictureStyle& style = {});
    void addRow(std::span<const float> u);
    int rows() const { return rows_; }
    // Throws std::bad_alloc when the picture cannot be made.
    QImage image(const std::string& caption = "") const;

private:
    int nCells_;
    float grayScale_;
    PictureStyle style_;
    LevelScale scale_; // known from the start unless the range is the picture's own
    int rows_ = 0;
    std::vector<std::uint8_t> levels_; // a byte a cell where the range is known
    std::vector<float> values_; // an auto range needs every value till the end
};

} // namespace rd::pictures
