// The field picture's grey levels against the rule written the plain way: the single
// product rounded half to even by nearbyint, black below 0 and for a product that is not
// a finite number, white above 255.
#include "display/FieldImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

int plainLevel(float u, float grayScale)
{
    const float product = u * grayScale;
    if (!std::isfinite(product))
        return 0;
    const float level = std::nearbyint(product);
    return level < 0.0f ? 0 : level > 255.0f ? 255 : static_cast<int>(level);
}

// Values around every level boundary, halves, the ends of the range and the special values.
std::vector<float> probeValues()
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::vector<float> v = { 0.0f, -0.0f, kInf, -kInf, std::numeric_limits<float>::quiet_NaN(),
        -std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::max(),
        std::numeric_limits<float>::lowest(), std::numeric_limits<float>::denorm_min(),
        -std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(), 0.1f, 3e38f,
        8388607.5f, 8388608.0f, 16777217.0f };
    for (int k = -2; k <= 258; ++k) {
        const float f = static_cast<float>(k);
        for (const float x : { f, f + 0.5f, std::nextafter(f + 0.5f, -kInf),
                 std::nextafter(f + 0.5f, kInf), std::nextafter(f, -kInf), f + 0.25f })
            v.push_back(x);
    }
    return v;
}

// Every value at every position of a row, rows whose length leaves a remainder after whole
// vector blocks, so the block and remainder code both see every value; the grey level alone
// is rd::grayLevel over a one-cell field.
TEST(FieldImage, EveryPixelFollowsThePlainRule)
{
    const std::vector<float> values = probeValues();
    for (const int n : { 1, 3, 4, 7, 8, 13, 129 }) {
        for (const float scale : { 1.0f, 85.0f, 0.5f, -1.0f, 1e30f }) {
            std::vector<float> cells(static_cast<std::size_t>(n) * n);
            for (std::size_t start = 0; start < values.size(); start += cells.size()) {
                for (std::size_t c = 0; c < cells.size(); ++c)
                    cells[c] = values[(start + c) % values.size()];
                const QImage image = rd::renderField(cells.data(), n, scale);
                ASSERT_EQ(image.format(), QImage::Format_RGB32);
                for (int j = 0; j < n; ++j)
                    for (int i = 0; i < n; ++i) {
                        const float u = cells[static_cast<std::size_t>(j) * n + i];
                        const int g = plainLevel(u, scale);
                        ASSERT_EQ(rd::grayLevel(u, scale), g) << u << " * " << scale;
                        ASSERT_EQ(image.pixel(i, j), qRgb(g, g, g))
                            << "n " << n << " cell " << i << "," << j << " u " << u;
                    }
            }
        }
    }
}

TEST(FieldImage, NoCellsNoImage)
{
    const float cell = 1.0f;
    EXPECT_TRUE(rd::renderField(&cell, 0, 1.0f).isNull());
    EXPECT_TRUE(rd::renderField(nullptr, 4, 1.0f).isNull());
}

} // namespace
