// The picture rules below the command line: known table entries, level scales and the round
// values a colour bar is marked at (where the marks are drawn is pictures_test.py's).
#include "pictures/FieldPicture.h"
#include "pictures/MapFrame.h"
#include "pictures/NiceStep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

using rd::pictures::Colormap;
using rd::pictures::PictureStyle;

TEST(Colormap, KnownEntriesOfThePublishedTables)
{
    using Case = std::tuple<Colormap, int, QRgb>;
    for (const auto& [map, level, rgb] : {
             Case { Colormap::Viridis, 0, 0xff440154 },
             Case { Colormap::Viridis, 255, 0xfffde725 },
             Case { Colormap::Magma, 0, 0xff000004 },
             Case { Colormap::Magma, 255, 0xfffcfdbf },
             Case { Colormap::Inferno, 255, 0xfffcffa4 },
             Case { Colormap::Cividis, 0, 0xff00224e },
             Case { Colormap::Gray, 128, 0xff808080 },
         })
        EXPECT_EQ(rd::pictures::colormapEntry(map, level), rgb) << level;
}

TEST(LevelScale, RangesByStyle)
{
    const std::vector<float> cells { 0.5f, std::numeric_limits<float>::quiet_NaN(), 2.5f,
        std::numeric_limits<float>::infinity(), 1.0f };
    PictureStyle panel, autoRange, fixed;
    autoRange.autoRange = true;
    fixed.range = std::pair { -1.0f, 4.0f };
    // Between 0.5 and 1 a float's ulp is 2^-24: flat up to a contrast of 1024 of them.
    const float floor = std::ldexp(1.0f, -14), ulp = std::ldexp(1.0f, -24);
    using Case = std::tuple<const PictureStyle&, std::vector<float>, float, float, bool>;
    for (const auto& [style, given, lo, scale, flat] : {
             Case { panel, cells, 0.0f, 85.0f, false },
             Case { autoRange, cells, 0.5f, 127.5f, false }, // NaN and infinity left out
             Case { fixed, cells, -1.0f, 51.0f, false },
             Case { autoRange, { 2.0f, 2.0f }, 2.0f, 0.0f, true },
             // Rounding is not stretched over the table.
             Case { autoRange, { 0.75f, 0.75f + floor, 0.75f }, 0.75f, 0.0f, true },
             Case { autoRange, { 0.75f, 0.75f + floor + ulp }, 0.75f,
                 static_cast<float>(255.0 / double { floor + ulp }), false },
             Case { autoRange, { -0.75f, -0.75f + floor }, -0.75f, 0.0f, true },
             // A range given is kept however narrow.
             Case { fixed, { 0.75f, 0.75f }, -1.0f, 51.0f, false },
         }) {
        const auto s = rd::pictures::levelScale(style, given, 85.0f);
        EXPECT_EQ(s.lo, lo) << given[1];
        EXPECT_EQ(s.scale, scale) << given[1];
        EXPECT_EQ(s.flat, flat) << given[1];
    }
}

TEST(ColourBar, MarkedAtRoundValuesAsTheMapsAre)
{
    using rd::pictures::LevelScale;
    // The range (auto or LO:HI), the rows of the bar (with lines of 14 pixels), the ticks.
    using Case = std::tuple<float, float, int, std::vector<double>>;
    const auto scale = [](float lo, float hi) {
        return hi > lo ? LevelScale { lo, static_cast<float>(255.0 / (double { hi } - lo)) }
                       : LevelScale { lo, 0.0f };
    };
    for (const auto& [lo, hi, rows, want] : {
             Case { 0.0f, 1.0f, 256, { 0, 0.2, 0.4, 0.6, 0.8, 1 } },
             // The README's seeded spots: not their raw ends.
             Case { 9.554e-07f, 0.3755f, 512, { 0.1, 0.2, 0.3 } },
             Case { -0.05f, 0.37f, 256, { 0, 0.1, 0.2, 0.3 } }, // 0 exactly, not 1e-17
             Case { 0.59f, 0.62f, 192, { 0.59, 0.6, 0.61, 0.62 } },
             Case { 0.0f, 1.0f, 60, { 0, 0.5, 1 } }, // what fits: four lines
             Case { 0.0f, 1.0f, 20, { 0 } }, // one line
             Case { 2.0f, 2.0f, 256, { 2 } }, // flat
         }) {
        const auto ticks = rd::pictures::colourBarTicks(scale(lo, hi), rows, 14);
        ASSERT_EQ(ticks.size(), want.size()) << lo << " " << hi << " " << rows;
        for (std::size_t k = 0; k < ticks.size(); ++k)
            EXPECT_NEAR(ticks[k], want[k], 1e-12) << lo << " " << hi << " " << k;
    }
}

TEST(ColourBar, DigitsTellTicksApart)
{
    using Case = std::tuple<double, double, int>;
    for (const auto& [largest, step, digits] : {
             Case { 1.0, 0.2, 4 },
             Case { 0.3755, 0.1, 4 },
             Case { 1234.5, 200, 4 },
             Case { 0.000845, 2e-9, 6 }, // 0.000844998 against 0.000845
             Case { 1e6, 1e-9, 15 }, // no more than a double holds
             Case { 0.0, 0.1, 4 },
             Case { 1.0, 0.0, 4 },
         })
        EXPECT_EQ(rd::pictures::tickDigits(largest, step), digits) << largest;
}

TEST(MapScale, WholeStepCountsInFull)
{
    using Case = std::tuple<double, int, const char*>;
    for (const auto& [value, digits, text] : {
             Case { 15000, 4, "15000" }, // the steps map's colour bar, not 1.5e+04
             Case { 9999999, 4, "9999999" },
             Case { 1e7, 4, "1e+07" },
             Case { 12345.5, 4, "1.235e+04" },
             Case { 0.000845001, 6, "0.000845001" },
             Case { 0.05, 4, "0.05" },
         })
        EXPECT_EQ(rd::pictures::map::number(value, digits).toStdString(), text) << value;
}
