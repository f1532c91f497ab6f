// The typed step on every vector path and thread count against its scalar path: the same
// bits in all four arrays, synU, synV and phaseA after every step, and the same error at the
// same cell with the same cells written. And what the shipped models are for: patterns.
#include "engine/TypedStep.h"
#include "engine/StepThreads.h"
#include "tests/engine/TypedTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

using rdtest::kShipped;

class TypedOnEachVectorPath : public rdtest::OnPath { };

TEST_P(TypedOnEachVectorPath, EveryShippedModelAndSizeMatchesTheScalarPath)
{
    ASSERT_STREQ(rd::dispatchedPathName(), rd::simdLevelName(GetParam()));
    for (const rdtest::Shipped& shipped : kShipped) {
        const rd::ModelDescription d = rdtest::shippedDescription(shipped.file);
        const rd::TypedModel m = rdtest::typedModel(d);
        for (int dim : { 1, 2 })
            for (int n : { 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 129, 300 }) {
                if (dim == 2 && n > 129)
                    continue;
                rd::SimState s = rdtest::typedState(d, dim, n);
                // A wide scatter: the field moves far from the uniform state at once.
                rdtest::scatterAround(s, shipped, 0.5f, static_cast<std::uint32_t>(n * 7 + dim));
                const int steps = dim == 1 ? 60 : (n <= 33 ? 20 : 3);
                const std::string tag
                    = d.name + " " + std::to_string(dim) + "D N=" + std::to_string(n);
                EXPECT_EQ(rdtest::compareRun(s, dim, m, steps, tag), steps) << tag;
                ASSERT_FALSE(HasFailure()) << tag;
            }
    }
}

using rdtest::compiledModel;

// Every cell but the bad one holds u >= 1.5.
void expectErrorAtEachCell(
    const rd::TypedModel& m, float bad, const std::string& what, float gain = 0.0f)
{
    const rd::ModelDescription d = rdtest::shippedDescription("schnakenberg.toml");
    for (int dim : { 1, 2 }) {
        rd::SimState base = rdtest::typedState(d, dim, 41);
        rdtest::fillStartField(base, rdtest::cellCount(dim, 41), 3);
        if (gain != 0.0f)
            base.reactGain = gain;
        for (std::int64_t k = 0; k < rdtest::cellCount(dim, 41); ++k)
            base.uA[k] = 1.5f + 0.25f * (base.uA[k] / base.uMax);
        rdtest::expectErrorAtEachCell(base, dim, 41, m, bad, what);
    }
}

TEST_P(TypedOnEachVectorPath, AnErrorInsideABlockIsRaisedAtItsCellWithTheSameCellsWritten)
{
    const std::vector<float> ab { 0.025f, 1.55f };
    const rd::TypedModel sch = compiledModel("a - u + u^2*v", "b - u^2*v", ab);
    expectErrorAtEachCell(sch, 1e20f, "overflow");
    expectErrorAtEachCell(sch, std::numeric_limits<float>::infinity(), "invalid");
    expectErrorAtEachCell(compiledModel("a - u", "b/(u - 1) - v", ab), 1.0f, "zero divisor in g");
    expectErrorAtEachCell(compiledModel("log(u - 1)*v", "b - v", ab), 1.0f, "log(0)");
    expectErrorAtEachCell(compiledModel("sqrt(u - 1.25)", "min(u, v)", ab), 1.0f, "sqrt of < 0");
    // A scaled increment that leaves the range: every rate fits, the bad one times the gain
    // does not (the others, at most 1.75e36 * 150, do).
    expectErrorAtEachCell(
        compiledModel("u * 1e36", "v", { 0, 0 }), 3.0f, "scaled overflow", 150.0f);
}

// An error in what the parameters alone give is met at the step's first cell.
TEST_P(TypedOnEachVectorPath, AnErrorOfTheParametersAloneEndsTheStepAtItsFirstCell)
{
    const rd::ModelDescription d = rdtest::shippedDescription("schnakenberg.toml");
    const rd::TypedModel byZero = compiledModel("a/b*u", "v", { 1.0f, 0.0f });
    const rd::TypedModel tooLarge = compiledModel("u + a*a", "v", { 1e30f, 0.0f });
    for (const rd::TypedModel* m : { &byZero, &tooLarge })
        for (int dim : { 1, 2 }) {
            rd::SimState s = rdtest::typedState(d, dim, 40);
            rdtest::fillStartField(s, rdtest::cellCount(dim, 40), 5);
            rd::SimState ref = s, t = s;
            const std::string a = rdtest::stepText(s, dim, *m, false);
            const std::string b = rdtest::stepText(ref, dim, *m, true);
            EXPECT_NE(
                b.find(dim == 1 ? "(at cell 0)" : "(at cell column 0, row 0)"), std::string::npos)
                << b;
            EXPECT_EQ(a, b);
            EXPECT_TRUE(rdtest::sameState(s, ref));
            if (dim == 2) {
                EXPECT_EQ(rdtest::raised([&] { rd::Step2DThreaded(t, *m, true, 3); }).text, b);
            }
        }
}

TEST_P(TypedOnEachVectorPath, ALineWithAnotherInnerEndCellMatchesTheScalarPath)
{
    const rd::ModelDescription d = rdtest::shippedDescription("brusselator.toml");
    const rd::TypedModel m = rdtest::typedModel(d);
    for (int inner : { 0, 20, 39 }) {
        rd::SimState s = rdtest::typedState(d, 1, 40);
        rdtest::scatterAround(s, kShipped[0], 0.3f, 4);
        s.lastInner = inner;
        EXPECT_EQ(rdtest::compareRun(s, 1, m, 2, "inner"), 2) << inner;
    }
}

// Without diffusion (cu = cv = 0, su = sv = 1) a cell's new value is u + its increment, in
// double, rounded once: the chunked rates of every path must be the per-cell rates of
// typedRates, for a model that uses every operation of the language.
TEST_P(TypedOnEachVectorPath, TheChunkedRatesAreThePerCellRates)
{
    const rd::TypedModel every
        = compiledModel("sqrt(u*v) + exp(-v) - log(u) + tanh(a*u)*abs(v - b) - min(u, v)/(1 + u^3)",
            "-(max(u, b) - v^2)*a + exp(-u)*log(v + 1)/b", { 1.25f, 0.75f }, false);
    const rd::ModelDescription d = rdtest::shippedDescription("schnakenberg.toml");
    for (const rd::TypedModel& m : { every, rdtest::typedModel(d) })
        for (int dim : { 1, 2 }) {
            const int n = 45;
            rd::SimState s = rdtest::typedState(d, dim, n);
            s.cu = s.cv = 0.0f;
            s.su = s.sv = 1.0f;
            s.reactGain = 0.37f;
            std::mt19937 g(17);
            std::uniform_real_distribution<float> r(0.05f, 3.0f);
            for (std::size_t k = 0; k < s.uA.size(); ++k) {
                s.uA[k] = r(g);
                s.vA[k] = r(g);
            }
            const rd::SimState start = s;
            rd::step(s, m, rd::dimensionOf(dim == 1));
            const auto u = rd::currentU(s, rd::dimensionOf(dim == 1));
            const auto v = rd::currentV(s, rd::dimensionOf(dim == 1));
            for (std::size_t k = 0; k < u.size(); ++k) {
                float synU = 0, synV = 0;
                rd::typedRates(m, s.reactGain, start.uA[k], start.vA[k], synU, synV);
                const auto next = [&](float x, float inc) {
                    const auto y = static_cast<float>(static_cast<double>(x) + inc);
                    return rdtest::bits(m.clamp && y < 0.0f ? 0.0f : y);
                };
                ASSERT_EQ(rdtest::bits(u[k]), next(start.uA[k], synU))
                    << m.name << " " << dim << "D " << k;
                ASSERT_EQ(rdtest::bits(v[k]), next(start.vA[k], synV))
                    << m.name << " " << dim << "D " << k;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, TypedOnEachVectorPath, ::testing::ValuesIn(rdtest::vectorLevels()), rdtest::pathName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TypedOnEachVectorPath);

class TypedThreads : public rdtest::OnPath { };

TEST_P(TypedThreads, EveryThreadCountGivesTheScalarBits)
{
    for (const rdtest::Shipped& shipped : kShipped) {
        const rd::ModelDescription d = rdtest::shippedDescription(shipped.file);
        const rd::TypedModel m = rdtest::typedModel(d);
        for (int n : { 5, 37, 129 }) {
            rd::SimState start = rdtest::typedState(d, 2, n);
            rdtest::scatterAround(start, shipped, 0.5f, static_cast<std::uint32_t>(n));
            rdtest::expectThreadsMatchScalar(start, m, d.name + " N=" + std::to_string(n));
        }
    }
}

TEST_P(TypedThreads, AnErrorIsNamedAtTheScalarStepsFirstFailingCell)
{
    const rd::ModelDescription d = rdtest::shippedDescription("schnakenberg.toml");
    rd::SimState start = rdtest::typedState(d, 2, 64);
    rdtest::fillStartField(start, 64 * 64, 11);
    for (const rdtest::ThreadedFailure& c : rdtest::kThreadedFailures)
        rdtest::expectThreadedFailureLikeScalar(start, rdtest::typedModel(d), c, c.what);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, TypedThreads, ::testing::ValuesIn(rd::availableSimdLevels()), rdtest::pathName);

// Without the clamp a result below zero stays; with it it becomes +0 and nothing else changes.
TEST(TypedStep, OnlyAClampedModelSetsNegativeResultsToZero)
{
    const rd::ModelDescription d = rdtest::shippedDescription("fitzhugh-nagumo.toml");
    ASSERT_FALSE(d.clamp);
    const rd::TypedModel free = rdtest::typedModel(d);
    rd::TypedModel clamped = free;
    clamped.clamp = true;
    for (int dim : { 1, 2 }) {
        rd::SimState a = rdtest::typedState(d, dim, 50);
        rdtest::scatterAround(a, kShipped[1], 0.5f, 9);
        rd::SimState b = a;
        rd::step(a, free, rd::dimensionOf(dim == 1));
        rd::step(b, clamped, rd::dimensionOf(dim == 1));
        const auto ua = rd::currentU(a, rd::dimensionOf(dim == 1));
        const auto ub = rd::currentU(b, rd::dimensionOf(dim == 1));
        int negative = 0;
        for (std::size_t k = 0; k < ua.size(); ++k) {
            negative += ua[k] < 0.0f ? 1 : 0;
            EXPECT_EQ(rdtest::bits(ub[k]), rdtest::bits(ua[k] < 0.0f ? 0.0f : ua[k])) << k;
        }
        EXPECT_GT(negative, static_cast<int>(ua.size()) / 4) << dim;
    }
}

// The u profile of a line (or the cells of a square) has formed a pattern: a clear contrast,
// and in a line at least `crossings` crossings of its mean.
void expectPattern(std::span<const float> u, float contrast, int crossings, const std::string& tag)
{
    const auto [lo, hi] = std::minmax_element(u.begin(), u.end());
    ASSERT_TRUE(std::isfinite(*lo) && std::isfinite(*hi)) << tag;
    EXPECT_GT(*hi - *lo, contrast) << tag;
    double mean = 0;
    for (float x : u)
        mean += x;
    mean /= static_cast<double>(u.size());
    int crossed = 0;
    for (std::size_t k = 1; k < u.size(); ++k)
        crossed += (u[k - 1] < mean) != (u[k] < mean) ? 1 : 0;
    EXPECT_GE(crossed, crossings) << tag;
}

TEST(ShippedModels, FormPatternsFromANearlyUniformStart)
{
    // Turing patterns in a line of 128 cells from 1 % noise; Thomas's grow slowest.
    for (const rdtest::Shipped& shipped : kShipped) {
        const rd::ModelDescription d = rdtest::shippedDescription(shipped.file);
        if (d.name == "Gray-Scott")
            continue;
        const rd::TypedModel m = rdtest::typedModel(d);
        rd::SimState s = rdtest::typedState(d, 1, 128);
        rdtest::scatterAround(s, shipped, 0.01f, 21);
        const int steps = d.name == "Thomas" ? 40000 : 20000;
        for (int t = 0; t < steps; ++t)
            rd::Step1D(s, m);
        expectPattern(rd::currentU(s, rd::Dimension::One),
            0.2f * std::max(std::fabs(shipped.u0), 0.3f), 8, d.name);
    }
    // Gray-Scott: a seeded square divides into spots.
    const rd::ModelDescription d = rdtest::shippedDescription("gray-scott.toml");
    const rd::TypedModel m = rdtest::typedModel(d);
    const int n = 48;
    rd::SimState s = rdtest::typedState(d, 2, n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const bool seed = std::abs(i - n / 2) < 4 && std::abs(j - n / 2) < 4;
            s.uA[static_cast<std::size_t>(j * n + i)] = seed ? 0.25f : 0.0f;
            s.vA[static_cast<std::size_t>(j * n + i)] = seed ? 0.5f : 1.0f;
        }
    for (int t = 0; t < 6000; ++t)
        rd::step(s, m, rd::Dimension::Two);
    const auto u = rd::currentU(s, rd::Dimension::Two);
    int spots = 0; // cells that are local maxima above 0.2
    for (int j = 1; j + 1 < n; ++j)
        for (int i = 1; i + 1 < n; ++i) {
            const float c = u[static_cast<std::size_t>(j * n + i)];
            bool peak = c > 0.2f;
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di)
                    peak = peak
                        && ((di == 0 && dj == 0)
                            || u[static_cast<std::size_t>((j + dj) * n + i + di)] < c);
            spots += peak ? 1 : 0;
        }
    EXPECT_GE(spots, 4);
}

} // namespace
