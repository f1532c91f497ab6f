#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using rdtest::bits;
using rdtest::kDefaults;
using rdtest::makeState;

namespace {

struct Case {
    int model;
    int dim;
};

class EveryModelAndDimension : public ::testing::TestWithParam<Case> { };

TEST_P(EveryModelAndDimension, UniformFieldStaysUniformAtEdgesAndCorners)
{
    const auto [model, dim] = GetParam();
    rd::SimState s = makeState(kDefaults[model], dim, 7);
    const std::int64_t cells = rdtest::cellCount(dim, 7);
    const float a = 0.5f * kDefaults[model].uMax, b = 0.55f * kDefaults[model].vMax;
    std::fill_n(s.uA.begin(), cells, a);
    std::fill_n(s.vA.begin(), cells, b);
    rdtest::step(s, dim, kDefaults[model].model);
    const auto& u = rdtest::currentU(s);
    const auto& v = rdtest::currentV(s);
    for (std::int64_t k = 1; k < cells; ++k) {
        ASSERT_EQ(bits(u[k]), bits(u[0])) << "cell " << k;
        ASSERT_EQ(bits(v[k]), bits(v[0])) << "cell " << k;
    }
    // Every cell received a + synU (the increments of the last cell are those of all), up
    // to the rounding of su = 1 - 4cu, which makes a * su + 4a * cu differ from a by an ULP.
    const float expected = std::max(0.0f, a + s.synU);
    EXPECT_NEAR(u[0], expected, 2e-7f * std::max(1.0f, expected));
}

TEST_P(EveryModelAndDimension, MirrorSymmetricFieldStaysSymmetric)
{
    const auto [model, dim] = GetParam();
    const int n = 9, rows = dim == 1 ? 1 : n;
    rd::SimState s = makeState(kDefaults[model], dim, n);
    rdtest::fillStartField(s, rdtest::cellCount(dim, n), 77);
    // Cell i mirrors cell L - i (1D), row j mirrors row L - j (2D).
    const auto mirror = [&](int j, int i) { return dim == 1 ? n - 1 - i : (n - 1 - j) * n + i; };
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < n; ++i)
            if (mirror(j, i) > j * n + i) {
                s.uA[mirror(j, i)] = s.uA[j * n + i];
                s.vA[mirror(j, i)] = s.vA[j * n + i];
            }
    for (int t = 0; t < 40; ++t)
        rdtest::step(s, dim, kDefaults[model].model);
    const auto& u = rdtest::currentU(s);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(bits(u[j * n + i]), bits(u[mirror(j, i)])) << "row " << j << " col " << i;
}

INSTANTIATE_TEST_SUITE_P(Engine, EveryModelAndDimension,
    ::testing::Values(Case { 0, 1 }, Case { 0, 2 }, Case { 1, 1 }, Case { 1, 2 }, Case { 2, 1 },
        Case { 2, 2 }, Case { 3, 1 }, Case { 3, 2 }),
    [](const auto& info) {
        return std::string(kDefaults[info.param.model].name) + "_" + std::to_string(info.param.dim)
            + "D";
    });

TEST(Integrators, NegativesBecomePositiveZeroAndNegativeZeroIsKept)
{
    // On every path, the scalar one included. Gray-Scott removing u fast from a tiny value: every
    // new value is below zero. With kA = kB = 0 and a negative gain on -0.0 every product and sum
    // is -0.0, and -0.0 < 0 is false, so -0.0 is stored.
    struct Case {
        float gain, start, k;
        std::uint32_t stored;
    };
    for (const Case c :
        { Case { 100.0f, 1e-3f, 0.04f, 0u }, Case { -1.0f, -0.0f, 0.0f, 0x80000000u } })
        for (int dim : { 1, 2 })
            for (rd::SimdLevel path : rd::availableSimdLevels()) {
                ASSERT_TRUE(rd::setSimdLevelForTesting(path));
                rd::SimState s = makeState(kDefaults[2], dim, 37);
                s.reactGain = c.gain;
                s.kA = s.kB = c.k;
                std::fill(s.uA.begin(), s.uA.end(), c.start);
                std::fill(s.vA.begin(), s.vA.end(), c.start);
                rdtest::step(s, dim, rd::Model::GrayScott);
                rd::setSimdLevelForTesting(rd::availableSimdLevels().back());
                for (std::int64_t k = 0; k < rdtest::cellCount(dim, 37); ++k)
                    ASSERT_EQ(bits(s.uB[k]), c.stored)
                        << dim << "D cell " << k << " " << rd::simdLevelName(path);
            }
}

TEST(Integrators, TwoDimensionalStepsAlternateTheSetsAndOneDimensionalEndWithBothEqual)
{
    rd::SimState s = makeState(kDefaults[0], 2, 6);
    rdtest::fillStartField(s, 36, 3);
    const std::vector<float> start = s.uA;
    rd::Step2DFromA(s, rd::Model::GiererMeinhardt);
    EXPECT_FALSE(s.phaseA);
    EXPECT_EQ(s.uA, start) << "the source set is only read";
    const std::vector<float> intermediate = s.uB;
    rd::Step2DFromB(s, rd::Model::GiererMeinhardt);
    EXPECT_EQ(s.phaseA, rd::kTrue);
    EXPECT_EQ(s.uB, intermediate);
    EXPECT_NE(s.uA, start);

    rd::SimState line = makeState(kDefaults[1], 1, 10);
    rdtest::fillStartField(line, 10, 8);
    line.phaseA = rd::kFalse;
    rd::Step1D(line, rd::Model::Schnakenberg);
    EXPECT_EQ(line.uA, line.uB);
    EXPECT_EQ(line.vA, line.vB);
    EXPECT_EQ(line.phaseA, rd::kFalse) << "1D never touches phaseA";
}

TEST(Integrators, SmallestGridsUseTheMirrorAndTheSpareElement)
{
    // Diffusion only; c2 is the doubled weight of a mirrored neighbour.
    const auto stencil = [](int dim, int n, std::vector<float> cells) {
        rd::SimState s = makeState(kDefaults[0], dim, n);
        EXPECT_EQ(s.uA.size(), cells.size());
        s.reactGain = 0.0f;
        s.uA = cells;
        rdtest::step(s, dim, rd::Model::GiererMeinhardt);
        return s;
    };
    const auto at = [](const rd::SimState& s, double neighbours, double self) {
        return bits(static_cast<float>(
            neighbours * (static_cast<double>(s.cu) + s.cu) + self * static_cast<double>(s.su)));
    };
    // 2D N = 2: every cell is a corner; cell 0 reads elements 1 and 2.
    const rd::SimState two = stencil(2, 2, { 1.0f, 2.0f, 4.0f, 8.0f, 0.0f });
    EXPECT_EQ(bits(two.uB[0]), at(two, 4.0 + 2.0, 1.0));
    EXPECT_EQ(bits(two.uB[3]), at(two, 2.0 + 4.0, 8.0));
    // N = 1: the single cell reads the spare element 1 as both neighbours.
    const rd::SimState one = stencil(2, 1, { 1.0f, 3.0f });
    EXPECT_EQ(bits(one.uB[0]), at(one, 3.0 + 3.0, 1.0));
    const rd::SimState line = stencil(1, 1, { 1.0f, 3.0f });
    EXPECT_EQ(bits(line.uA[0]), at(line, 3.0, 1.0));
    EXPECT_EQ(line.uA[1], 3.0f) << "the spare element is read, never written";
    // 1D N = 2: lastInner = 0, each end reads the other.
    const rd::SimState pair = stencil(1, 2, { 1.0f, 5.0f, 0.0f });
    EXPECT_EQ(bits(pair.uA[0]), at(pair, 5.0, 1.0));
    EXPECT_EQ(bits(pair.uA[1]), at(pair, 1.0, 5.0));
}

TEST(Integrators, OverflowPartWayLeavesEarlierCellsNewAndLaterCellsOld)
{
    rd::SimState s = makeState(kDefaults[1], 2, 8);
    rdtest::fillStartField(s, 64, 11);
    std::fill(s.uB.begin(), s.uB.end(), -1.0f);
    rd::SimState good = s;
    rd::Step2DFromA(good, rd::Model::Schnakenberg);
    // Schnakenberg's u^2 v overflows single precision at cell (3, 4).
    const int bad = 4 * 8 + 3;
    s.uA[bad] = s.vA[bad] = 1e15f;
    const auto error = rdtest::raised([&] { rd::Step2DFromA(s, rd::Model::Schnakenberg); });
    EXPECT_EQ(error.kind, rd::EngineError::Kind::Overflow);
    EXPECT_NE(error.text.find("column 3, row 4"), std::string::npos) << error.text;
    EXPECT_EQ(s.phaseA, rd::kTrue) << "an abandoned step does not flip the sets";
    // Cells before the failing one hold their new values (those of an unaffected step
    // wherever the bad cell is not a neighbour); cells from it on keep their old contents.
    for (int k = 0; k < bad - 8; ++k)
        EXPECT_EQ(bits(s.uB[k]), bits(good.uB[k])) << k;
    for (int k = bad; k < 64; ++k)
        EXPECT_EQ(s.uB[k], -1.0f) << k;
}

TEST(Integrators, ErrorInTheLineLeavesSetAUntouched)
{
    // Every Oregonator call divides by zero: the first cell fails before any store.
    rd::SimState s = makeState(kDefaults[3], 1, 12);
    rdtest::fillStartField(s, 12, 21);
    s.kC = 0.0f;
    const rd::SimState before = s;
    EXPECT_EQ(rdtest::raised([&] { rd::Step1D(s, rd::Model::Oregonator); }).kind,
        rd::EngineError::Kind::DivisionByZero);
    EXPECT_EQ(s.uA, before.uA);
    EXPECT_EQ(s.vA, before.vA);
    EXPECT_EQ(s.uB, before.uB);

    // A failure later in the line: set A still untouched, set B partly rewritten.
    rd::SimState t = makeState(kDefaults[1], 1, 12);
    rdtest::fillStartField(t, 12, 21);
    t.uA[9] = t.vA[9] = 1e15f;
    const rd::SimState t0 = t;
    EXPECT_THROW(rd::Step1D(t, rd::Model::Schnakenberg), rd::EngineError);
    EXPECT_EQ(t.uA, t0.uA);
    EXPECT_EQ(t.vA, t0.vA);
    EXPECT_NE(t.uB[0], t0.uB[0]);
    EXPECT_EQ(t.uB[10], t0.uB[10]);
}

TEST(Integrators, ArraysShorterThanTheGridAreRefusedBeforeAnyStore)
{
    rd::SimState s = makeState(kDefaults[0], 1, 16); // 1D size, 2D step
    const rd::SimState before = s;
    EXPECT_EQ(rdtest::raised([&] { rd::Step2DFromA(s, rd::Model::GiererMeinhardt); }).kind,
        rd::EngineError::Kind::SubscriptOutOfRange);
    EXPECT_EQ(s.uB, before.uB);
    EXPECT_EQ(s.phaseA, before.phaseA);
    rd::SimState one = makeState(kDefaults[0], 1, 1);
    one.uA.resize(1); // the spare element is read at N = 1
    EXPECT_THROW(rd::Step1D(one, rd::Model::GiererMeinhardt), rd::EngineError);
}

} // namespace
