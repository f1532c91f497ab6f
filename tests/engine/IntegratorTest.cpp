#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using rdtest::bits;
using rdtest::kDefaults;
using rdtest::makeState;

namespace {

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

TEST(Integrators, SmallestGridsUseTheMirrorAndTheSpareElement)
{
    // Diffusion only; c2 is the doubled weight of a mirrored neighbour.
    const auto stencil = [](int dim, int n, std::vector<float> cells, int model = 0) {
        rd::SimState s = makeState(kDefaults[model], dim, n);
        EXPECT_EQ(s.uA.size(), cells.size());
        s.reactGain = 0.0f;
        s.uA = cells;
        rdtest::step(s, dim, kDefaults[model].model);
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
    // 1D N = 2, every model: lastInner = 0, each end reads the other.
    for (int model = 0; model < 4; ++model) {
        const rd::SimState pair = stencil(1, 2, { 1.0f, 5.0f, 0.0f }, model);
        EXPECT_EQ(bits(pair.uA[0]), at(pair, 5.0, 1.0)) << kDefaults[model].name;
        EXPECT_EQ(bits(pair.uA[1]), at(pair, 1.0, 5.0)) << kDefaults[model].name;
    }
}

TEST(Integrators, OverflowPartWayLeavesSetAAndEarlierCellsNewAndLaterCellsOld)
{
    // Schnakenberg's u^2 v overflows single precision at cell 4 of the line, (3, 4) of the square.
    for (int dim : { 1, 2 }) {
        rd::SimState s = makeState(kDefaults[1], dim, 8);
        const std::int64_t cells = rdtest::cellCount(dim, 8), bad = dim == 1 ? 4 : 4 * 8 + 3;
        rdtest::fillStartField(s, cells, 11);
        std::fill(s.uB.begin(), s.uB.end(), -1.0f);
        rd::SimState good = s;
        rdtest::step(good, dim, rd::Model::Schnakenberg);
        s.uA[bad] = s.vA[bad] = 1e15f;
        const rd::SimState before = s;
        const auto error = rdtest::raised([&] { rdtest::step(s, dim, rd::Model::Schnakenberg); });
        EXPECT_EQ(error.kind, rd::EngineError::Kind::Overflow);
        EXPECT_NE(error.text.find(dim == 1 ? "at cell 4" : "column 3, row 4"), std::string::npos)
            << error.text;
        EXPECT_EQ(s.phaseA, rd::kTrue) << "an abandoned step does not flip the sets";
        EXPECT_TRUE(rdtest::sameBits(s.uA, before.uA) && rdtest::sameBits(s.vA, before.vA));
        // Cells before the failing one hold their new values (those of an unaffected step
        // wherever the bad cell is not a neighbour); cells from it on keep their old contents.
        for (std::int64_t k = 0; k < bad - (dim == 1 ? 1 : 8); ++k)
            EXPECT_EQ(bits(s.uB[k]), bits(good.uB[k])) << dim << "D " << k;
        for (std::int64_t k = bad; k < cells; ++k)
            EXPECT_EQ(s.uB[k], -1.0f) << dim << "D " << k;
    }
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
