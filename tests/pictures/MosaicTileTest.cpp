// What the mosaic keeps of a field: the mean of the cells under each pixel of the tile,
// weighted by the area they cover there, and the field's finite range.
#include "pictures/MapPictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A tile of `tile` pixels has tile - 8 inside its frame.
TEST(MosaicTile, IsTheAreaWeightedMeanUnderEachPixel)
{
    // What the tile is made of (cells, side, 1D, tile), then what it keeps (values, range).
    using Case = std::tuple<const char*, std::vector<float>, int, bool, int, std::vector<float>,
        float, float>;
    const std::vector<Case> cases {
        { "2 x 2 cells a pixel", { 1, 3, 5, 7, 2, 4, 6, 8, 0, 0, 1, 1, 0, 0, 1, 1 }, 4, false, 10,
            { 2.5f, 6.5f, 0, 1 }, 0, 8 },
        { "a cell over 2 x 2 pixels", { 1, 2, 3, 4 }, 2, false, 12,
            { 1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4 }, 1, 4 },
        // Pixel 0 covers cell 0 and half of cell 1; pixel 1 the other half and cell 2.
        { "1.5 cells a pixel", { 0, 3, 6, 0, 3, 6, 0, 3, 6 }, 3, false, 10,
            { float(1.5 / 1.5), float(7.5 / 1.5), float(1.5 / 1.5), float(7.5 / 1.5) }, 0, 6 },
        { "a line: one value a column", { 1, 2, 3, 4 }, 4, true, 10, { 1.5f, 3.5f }, 1, 4 },
        // Cells that are not finite count for nothing, nor for the range.
        { "not finite", { kNaN, 2, kInf, 4 }, 4, true, 10, { 2, 4 }, 2, 4 },
        { "nothing finite", { kNaN, kNaN }, 2, true, 9, { kNaN }, kNaN, kNaN },
    };
    // Not a number matches not a number.
    const auto same = [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (const auto& [label, u, n, oneD, tile, values, lo, hi] : cases) {
        SCOPED_TRACE(label);
        const rd::runs::KeptField kept = rd::pictures::mosaicTile(u, n, oneD, tile);
        ASSERT_EQ(kept.values.size(), rd::pictures::mosaicTileValues(oneD, tile));
        ASSERT_EQ(kept.values.size(), values.size());
        for (std::size_t k = 0; k < values.size(); ++k)
            EXPECT_PRED2(same, kept.values[k], values[k]) << k;
        EXPECT_PRED2(same, kept.lo, lo);
        EXPECT_PRED2(same, kept.hi, hi);
    }
}

} // namespace
