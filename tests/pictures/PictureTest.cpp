// The picture rules below the command line: known table entries and level scales.
#include "pictures/FieldPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using rd::pictures::Colormap;
using rd::pictures::PictureStyle;

TEST(Colormap, KnownEntriesOfThePublishedTables)
{
    struct Case {
        Colormap map;
        int level;
        QRgb rgb;
    };
    for (const Case& c : {
             Case { Colormap::Viridis, 0, 0xff440154 },
             Case { Colormap::Viridis, 255, 0xfffde725 },
             Case { Colormap::Magma, 0, 0xff000004 },
             Case { Colormap::Magma, 255, 0xfffcfdbf },
             Case { Colormap::Inferno, 255, 0xfffcffa4 },
             Case { Colormap::Cividis, 0, 0xff00224e },
             Case { Colormap::Gray, 128, 0xff808080 },
         })
        EXPECT_EQ(rd::pictures::colormapEntry(c.map, c.level), c.rgb) << c.level;
}

TEST(LevelScale, RangesByStyle)
{
    const std::vector<float> cells { 0.5f, std::numeric_limits<float>::quiet_NaN(), 2.5f,
        std::numeric_limits<float>::infinity(), 1.0f };
    PictureStyle panel, autoRange, fixed, flat;
    autoRange.autoRange = true;
    fixed.range = std::pair { -1.0f, 4.0f };
    flat.autoRange = true;
    struct Case {
        const PictureStyle& style;
        std::vector<float> cells;
        float lo, scale;
    };
    for (const Case& c : {
             Case { panel, cells, 0.0f, 85.0f },
             Case { autoRange, cells, 0.5f, 127.5f }, // NaN and infinity left out
             Case { fixed, cells, -1.0f, 51.0f },
             Case { flat, { 2.0f, 2.0f }, 2.0f, 0.0f },
         }) {
        const auto s = rd::pictures::levelScale(c.style, c.cells, 85.0f);
        EXPECT_EQ(s.lo, c.lo);
        EXPECT_EQ(s.scale, c.scale);
    }
}
