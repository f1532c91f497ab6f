// The picture rules below the command line: known table entries, level scales and the round
// values a colour bar is marked at (where the marks are drawn is pictures_test.py's).
#include "pictures/FieldPicture.h"
#include "pictures/NiceStep.h"

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

TEST(ColourBar, MarkedAtRoundValuesAsTheMapsAre)
{
    using rd::pictures::LevelScale;
    struct Case {
        float lo, hi; // the range (auto or LO:HI)
        int rows; // of the bar, with lines of 14 pixels
        std::vector<double> ticks;
    };
    const auto scale = [](float lo, float hi) {
        return hi > lo ? LevelScale { lo, static_cast<float>(255.0 / (double { hi } - lo)) }
                       : LevelScale { lo, 0.0f };
    };
    for (const Case& c : {
             Case { 0.0f, 1.0f, 256, { 0, 0.2, 0.4, 0.6, 0.8, 1 } },
             // The README's seeded spots: not their raw ends.
             Case { 9.554e-07f, 0.3755f, 512, { 0.1, 0.2, 0.3 } },
             Case { -0.05f, 0.37f, 256, { 0, 0.1, 0.2, 0.3 } }, // 0 exactly, not 1e-17
             Case { 0.59f, 0.62f, 192, { 0.59, 0.6, 0.61, 0.62 } },
             Case { 0.0f, 1.0f, 60, { 0, 0.5, 1 } }, // what fits: four lines
             Case { 0.0f, 1.0f, 20, { 0 } }, // one line
             Case { 2.0f, 2.0f, 256, { 2 } }, // flat
         }) {
        const auto ticks = rd::pictures::colourBarTicks(scale(c.lo, c.hi), c.rows, 14);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.lo << " " << c.hi << " " << c.rows;
        for (std::size_t k = 0; k < ticks.size(); ++k)
            EXPECT_NEAR(ticks[k], c.ticks[k], 1e-12) << c.lo << " " << c.hi << " " << k;
    }
}

TEST(ColourBar, DigitsTellTicksApart)
{
    struct Case {
        double largest, step;
        int digits;
    };
    for (const Case& c : {
             Case { 1.0, 0.2, 4 },
             Case { 0.3755, 0.1, 4 },
             Case { 1234.5, 200, 4 },
             Case { 0.000845, 2e-9, 6 }, // 0.000844998 against 0.000845
             Case { 1e6, 1e-9, 15 }, // no more than a double holds
             Case { 0.0, 0.1, 4 },
             Case { 1.0, 0.0, 4 },
         })
        EXPECT_EQ(rd::pictures::tickDigits(c.largest, c.step), c.digits) << c.largest;
}
