// The dispatched steps against the scalar reference, on every vector path this machine
// runs: the same bits in all four arrays, synU, synV and phaseA after every step, and
// the same error, raised at the same cell, with the same cells written; the mirrored edge
// cells, which the vector paths compute in the lanes of their blocks, included.
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>

using rdtest::kDefaults;

namespace {

enum class Field { Ordinary, NearZero, NearOverflow };

float draw(std::mt19937& g, Field kind, float range)
{
    const float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(g);
    const unsigned pick = g() % 16;
    if (kind == Field::NearZero && pick < 10) {
        const float tiny[] = { 0.0f, -0.0f, std::numeric_limits<float>::min() * (1.0f + r),
            r * 1e-20f, std::bit_cast<float>(static_cast<std::uint32_t>(g() % 0x7FFFFFu + 1u)) };
        return tiny[pick % 5];
    }
    // Large enough that u*u, u*u*v or a sum of several steps may leave the range.
    if (kind == Field::NearOverflow && pick == 0)
        return std::ldexp(1.0f + r, 40 + static_cast<int>(g() % 24));
    return r * range;
}

// A state with the model's start-up coefficients, or randomly varied ones, and every
// element of all four arrays (the spare one included) filled from the field kind.
rd::SimState randomState(int model, int dim, int n, Field kind, bool vary, std::uint32_t seed)
{
    std::mt19937 g(seed);
    rd::SimState s = rdtest::makeState(kDefaults[model], dim, n);
    std::uniform_real_distribution<float> factor(0.5f, 1.5f);
    if (vary) {
        s.kA *= factor(g);
        s.kB *= factor(g);
        s.kC *= factor(g);
        s.reactGain *= 4.0f * factor(g);
        std::uniform_real_distribution<float> diffusion(0.0f, dim == 1 ? 0.49f : 0.24f);
        s.cu = diffusion(g);
        s.cv = diffusion(g);
        // The self-weights 1 - 2c (1D) or 1 - 4c (2D) from the stored diffusion numbers.
        s.su = static_cast<float>(1.0 - (dim == 1 ? 2.0 : 4.0) * static_cast<double>(s.cu));
        s.sv = static_cast<float>(1.0 - (dim == 1 ? 2.0 : 4.0) * static_cast<double>(s.cv));
    }
    for (auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
        for (float& x : *a)
            x = draw(g, kind, a == &s.uA || a == &s.uB ? s.uMax : s.vMax);
    s.synU = factor(g);
    s.synV = -factor(g);
    return s;
}

class OnEachVectorPath : public rdtest::OnPath { };

TEST_P(OnEachVectorPath, EveryModelAndSizeMatchesTheScalarPathBitForBit)
{
    ASSERT_STREQ(rd::dispatchedPathName(), rd::simdLevelName(GetParam()));
    int stepsDone = 0, errors = 0;
    for (int n = 1; n <= 129; ++n)
        for (int model = 0; model < 4; ++model)
            for (int dim : { 1, 2 })
                for (int variant = 0; variant < 3; ++variant) {
                    const auto kind = static_cast<Field>((variant + n) % 3);
                    const auto seed = static_cast<std::uint32_t>(n * 1000 + model * 10 + variant);
                    const rd::SimState s = randomState(model, dim, n, kind, variant != 0, seed);
                    const int steps = dim == 1 ? 150 : (n <= 24 ? 30 : 3);
                    const std::string tag = std::string(kDefaults[model].name) + " "
                        + std::to_string(dim) + "D N=" + std::to_string(n) + " seed "
                        + std::to_string(seed);
                    const int done = rdtest::compareRun(s, dim, kDefaults[model].model, steps, tag);
                    ASSERT_FALSE(HasFailure()) << tag;
                    stepsDone += done;
                    errors += done < steps ? 1 : 0;
                }
    // The near-overflow fields must really have exercised the error path, the others long runs.
    EXPECT_GT(errors, 100);
    EXPECT_GT(stepsDone, 50000);
}

// Every cell but the bad one holds u >= 1.5.
void expectErrorAtEachCell(int model, float u, std::optional<float> kB, std::optional<float> kC)
{
    for (int dim : { 1, 2 }) {
        rd::SimState base = randomState(model, dim, 41, Field::Ordinary, false, 3);
        for (std::int64_t k = 0; k < rdtest::cellCount(dim, 41); ++k)
            base.uA[k] = 1.5f + 0.25f * (base.uA[k] / base.uMax);
        base.kB = kB.value_or(base.kB);
        base.kC = kC.value_or(base.kC);
        rdtest::expectErrorAtEachCell(base, dim, 41, kDefaults[model].model, u,
            std::string(kDefaults[model].name) + " u = " + std::to_string(u));
    }
}

TEST_P(OnEachVectorPath, AnErrorInsideABlockIsRaisedAtItsCellWithTheSameCellsWritten)
{
    // Overflow, and an invalid operation (inf - inf or inf * 0).
    for (int model = 0; model < 4; ++model)
        for (float u : { 1e20f, std::numeric_limits<float>::infinity() })
            expectErrorAtEachCell(model, u, std::nullopt, std::nullopt);
    // 1 + kC u u = 0 at u = 1 (the other cells hold u >= 1.5).
    expectErrorAtEachCell(0, 1.0f, std::nullopt, -1.0f);
    // u + kB = 0 at u = -0.5 (the other cells are positive), over a non-zero numerator: no
    // invalid operation gives the zero away.
    expectErrorAtEachCell(3, -0.5f, 0.5f, std::nullopt);
}

// A line whose inner end cell is not the last cell's neighbour keeps its ends on the
// per-cell code; its results must still be the scalar ones.
TEST_P(OnEachVectorPath, ALineWithAnotherInnerEndCellMatchesTheScalarPath)
{
    for (int model = 0; model < 4; ++model)
        for (int inner : { 0, 20, 39 }) {
            rd::SimState s = rdtest::makeState(kDefaults[model], 1, 40);
            rdtest::fillStartField(s, 40, 9);
            s.lastInner = inner;
            EXPECT_EQ(rdtest::compareRun(s, 1, kDefaults[model].model, 1, "inner"), 1)
                << kDefaults[model].name << " inner " << inner;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, OnEachVectorPath, ::testing::ValuesIn(rdtest::vectorLevels()), rdtest::pathName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OnEachVectorPath);

TEST(Dispatch, TheBestAvailablePathIsTheDefault)
{
    const std::vector<rd::SimdLevel> levels = rd::availableSimdLevels();
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), rd::SimdLevel::Scalar);
    EXPECT_STREQ(rd::dispatchedPathName(), rd::simdLevelName(levels.back()));
#if defined(__x86_64__)
    EXPECT_GE(levels.size(), 2u) << "SSE2 is part of every x86-64 processor";
#endif
}

} // namespace
