// The measurement on synthetic cosine fields of known wavelength, and the flatness floor on
// fields a known number of ulps apart.
#include "analysis/FieldMeasurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

using rd::analysis::flatness;
using rd::analysis::measureField;
using rd::analysis::ulpAt;

struct CosineCase {
    int n;
    bool oneD;
    int kx, ky;
};

class Cosines : public testing::TestWithParam<CosineCase> { };

// mean + amplitude cos(pi kx i / (n - 1)) cos(pi ky j / (n - 1)) on n cells or n x n.
std::vector<float> cosine(int n, bool oneD, int kx, int ky, double mean, double amplitude)
{
    std::vector<float> field;
    for (int j = 0; j < (oneD ? 1 : n); ++j)
        for (int i = 0; i < n; ++i)
            field.push_back(static_cast<float>(mean
                + amplitude * std::cos(std::numbers::pi * kx * i / (n - 1))
                    * std::cos(std::numbers::pi * ky * j / (n - 1))));
    return field;
}

TEST_P(Cosines, GiveTheirWavelengthAndContrast)
{
    const auto& c = GetParam();
    const auto m = measureField(cosine(c.n, c.oneD, c.kx, c.ky, 1.0, 0.25), c.n, c.oneD);
    const double k = std::hypot(c.kx, c.ky);
    EXPECT_NEAR(m.wavenumber, k, 1e-9 * k);
    EXPECT_NEAR(m.wavelength, 2.0 * (c.n - 1) / k, 1e-9 * m.wavelength);
    EXPECT_NEAR(m.contrast, 0.5, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Grids, Cosines,
    testing::Values(CosineCase { 128, true, 23, 0 }, CosineCase { 2, true, 1, 0 },
        CosineCase { 129, true, 128, 0 }, CosineCase { 64, false, 0, 9 },
        CosineCase { 64, false, 5, 5 }, CosineCase { 128, false, 21, 9 }));

// A uniform field of `value` with every third cell moved up by `ulps` ulps.
std::vector<float> spread(float value, int ulps, std::size_t cells)
{
    float high = value;
    for (int k = 0; k < ulps; ++k)
        high = std::nextafter(high, 2.0f * value);
    std::vector<float> f(cells, value);
    for (std::size_t i = 0; i < cells; i += 3)
        f[i] = high;
    return f;
}

TEST(FieldMeasurement, FlatFieldHasNoWavelengthAndOneCellIsRefused)
{
    const std::vector<float> flat(16 * 16, 0.7f);
    const auto m = measureField(flat, 16, false);
    EXPECT_EQ(m.wavenumber, 0.0);
    EXPECT_TRUE(std::isinf(m.wavelength));
    EXPECT_EQ(m.contrast, 0.0);
    // Rounding-level ripples are no pattern either.
    EXPECT_TRUE(std::isinf(measureField(spread(0.04f, 1, 64), 64, true).wavelength));
    const std::vector<float> one(1, 0.5f);
    EXPECT_THROW(measureField(one, 1, true), std::invalid_argument);
    EXPECT_THROW(measureField(flat, 15, false), std::invalid_argument);
}

TEST(FieldMeasurement, UlpAt)
{
    EXPECT_EQ(ulpAt(1.0), 0x1p-23);
    EXPECT_EQ(ulpAt(0.999), 0x1p-24);
    EXPECT_EQ(ulpAt(-3.0), 0x1p-22);
    EXPECT_EQ(ulpAt(0.428830951), 0x1p-25);
    EXPECT_EQ(ulpAt(0.0), 0x1p-149);
    EXPECT_EQ(ulpAt(1e-40), 0x1p-149); // subnormal
    EXPECT_EQ(ulpAt(0x1p-126), 0x1p-149); // the smallest normal
}

struct FlatCase {
    float value;
    int ulps;
    double scale;
    bool flat;
};

class Flatness : public testing::TestWithParam<FlatCase> { };

TEST_P(Flatness, IsDecidedInUlpsOfTheLargestValue)
{
    const FlatCase& c = GetParam();
    const auto field = spread(c.value, c.ulps, 32 * 32);
    const auto f = flatness(field, c.scale);
    const double ulp = ulpAt(std::max(double(c.value), c.scale));
    EXPECT_EQ(f.contrast, c.ulps * ulpAt(c.value));
    EXPECT_EQ(f.floor, 1024 * ulp);
    EXPECT_EQ(f.flat, c.flat);
    const auto m = measureField(field, 32, false, c.scale);
    EXPECT_EQ(m.flat, c.flat);
    EXPECT_EQ(std::isinf(m.wavelength), c.flat) << m.wavelength;
}

INSTANTIATE_TEST_SUITE_P(FieldMeasurement, Flatness,
    testing::Values(
        // A converged Gray-Scott field: 16 ulps of 0.4288 (contrast 4.8e-7) is rounding.
        FlatCase { 0.42883095f, 16, 0, true }, FlatCase { 0.42883095f, 1024, 0, true },
        FlatCase { 0.42883095f, 1025, 0, false }, FlatCase { 0.0f, 0, 0, true },
        FlatCase { 3e-3f, 3000, 0, false },
        // The same spread at 1e-3 after the field has been at 0.9: rounding of the top of an
        // oscillation.
        FlatCase { 1e-3f, 3000, 0.9, true }, FlatCase { 1.5f, 600, 0.2, true }));

TEST(FieldMeasurement, AFaintPatternAboveTheFloorKeepsItsWavelength)
{
    // A cosine of amplitude 1e-4 on 0.3: 1.7e3 ulps either way of the mean.
    const auto m = measureField(cosine(64, false, 7, 0, 0.3, 1e-4), 64, false);
    EXPECT_FALSE(m.flat);
    EXPECT_NEAR(m.wavelength, 2.0 * 63 / 7, 1e-9);
}

} // namespace
