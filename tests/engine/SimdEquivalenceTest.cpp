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

using rdtest::bits;
using rdtest::kDefaults;
using rdtest::sameState;

namespace {

// "kind: message" of the error a step raises, empty if it completed.
std::string step(rd::SimState& s, int dim, rd::Model m, bool scalar)
{
    return rdtest::raised([&] { rdtest::step(s, dim, m, scalar); }).text;
}

// Steps a copy on each path until the first error, which both must raise alike. Returns the
// number of steps that completed.
int compareRun(const rd::SimState& start, int dim, rd::Model m, int steps, const std::string& tag)
{
    rd::SimState fast = start, ref = start;
    for (int t = 0; t < steps; ++t) {
        const std::string a = step(fast, dim, m, false), b = step(ref, dim, m, true);
        EXPECT_EQ(a, b) << tag << " step " << t;
        EXPECT_TRUE(sameState(fast, ref)) << tag << " step " << t;
        if (!a.empty() || !b.empty() || ::testing::Test::HasFailure())
            return t;
    }
    return steps;
}

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
        rdtest::deriveSelfWeights(s, dim);
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
                    const int done = compareRun(s, dim, kDefaults[model].model, steps, tag);
                    ASSERT_FALSE(HasFailure()) << tag;
                    stepsDone += done;
                    errors += done < steps ? 1 : 0;
                }
    // The near-overflow fields must really have exercised the error path, the others long runs.
    EXPECT_GT(errors, 100);
    EXPECT_GT(stepsDone, 50000);
}

// One bad cell at every position of the line, and of the first, an inner and the last row:
// the error must come from that cell, wherever in a vector block it lies, with every cell
// before it new and every cell from it on old, on each path as on the scalar one.
void expectErrorAtEachCell(int model, float u, std::optional<float> kB, std::optional<float> kC)
{
    const int n = 41;
    for (int dim : { 1, 2 }) {
        rd::SimState base = randomState(model, dim, n, Field::Ordinary, false, 3);
        for (std::int64_t k = 0; k < rdtest::cellCount(dim, n); ++k)
            base.uA[k] = 1.5f + 0.25f * (base.uA[k] / base.uMax);
        base.kB = kB.value_or(base.kB);
        base.kC = kC.value_or(base.kC);
        for (int row : { 0, 3, n - 1 })
            for (int col = 0; col < n && (dim == 2 || row == 0); ++col) {
                rd::SimState fast = base;
                fast.uA[row * n + col] = u;
                rd::SimState ref = fast;
                const std::string a = step(fast, dim, kDefaults[model].model, false);
                const std::string b = step(ref, dim, kDefaults[model].model, true);
                const std::string cell = dim == 1
                    ? "at cell " + std::to_string(col)
                    : "at cell column " + std::to_string(col) + ", row " + std::to_string(row);
                const std::string tag = std::string(kDefaults[model].name)
                    + " u = " + std::to_string(u) + " " + std::to_string(dim) + "D " + cell;
                ASSERT_NE(b.find(cell), std::string::npos) << tag << ": " << b;
                ASSERT_EQ(a, b) << tag;
                ASSERT_TRUE(sameState(fast, ref)) << tag;
            }
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
            EXPECT_EQ(compareRun(s, 1, kDefaults[model].model, 1, "inner"), 1)
                << kDefaults[model].name << " inner " << inner;
        }
}

INSTANTIATE_TEST_SUITE_P(Engine, OnEachVectorPath, ::testing::ValuesIn(rdtest::vectorLevels()),
    [](const auto& info) { return std::string(rd::simdLevelName(info.param)); });
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
