// The measurement on synthetic cosine fields of known wavelength.
#include "analysis/FieldMeasurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

using rd::analysis::measureField;

struct CosineCase {
    int n;
    bool oneD;
    int kx, ky;
};

class Cosines : public testing::TestWithParam<CosineCase> { };

TEST_P(Cosines, GiveTheirWavelengthAndContrast)
{
    const auto& c = GetParam();
    const int rows = c.oneD ? 1 : c.n;
    std::vector<float> field;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < c.n; ++i)
            field.push_back(static_cast<float>(1.0
                + 0.25 * std::cos(std::numbers::pi * c.kx * i / (c.n - 1))
                    * std::cos(std::numbers::pi * c.ky * j / (c.n - 1))));
    const auto m = measureField(field, c.n, c.oneD);
    const double k = std::hypot(c.kx, c.ky);
    EXPECT_NEAR(m.wavenumber, k, 1e-9 * k);
    EXPECT_NEAR(m.wavelength, 2.0 * (c.n - 1) / k, 1e-9 * m.wavelength);
    EXPECT_NEAR(m.contrast, 0.5, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Grids, Cosines,
    testing::Values(CosineCase { 128, true, 23, 0 }, CosineCase { 2, true, 1, 0 },
        CosineCase { 129, true, 128, 0 }, CosineCase { 64, false, 0, 9 },
        CosineCase { 64, false, 5, 5 }, CosineCase { 128, false, 21, 9 }));

TEST(FieldMeasurement, FlatFieldHasNoWavelengthAndOneCellIsRefused)
{
    const std::vector<float> flat(16 * 16, 0.7f);
    const auto m = measureField(flat, 16, false);
    EXPECT_EQ(m.wavenumber, 0.0);
    EXPECT_TRUE(std::isinf(m.wavelength));
    EXPECT_EQ(m.contrast, 0.0);
    // Rounding-level ripples are no pattern either.
    std::vector<float> ripple(64, 0.04f);
    for (std::size_t i = 0; i < ripple.size(); i += 3)
        ripple[i] = std::nextafter(0.04f, 1.0f);
    EXPECT_TRUE(std::isinf(measureField(ripple, 64, true).wavelength));
    const std::vector<float> one(1, 0.5f);
    EXPECT_THROW(measureField(one, 1, true), std::invalid_argument);
    EXPECT_THROW(measureField(flat, 15, false), std::invalid_argument);
}

} // namespace
