// The dispatched steps against the scalar reference, on every vector path this machine
// runs: the same bits in all four arrays, synU, synV and phaseA after every step, and
// the same error, raised at the same cell, with the same cells written.
#include "EngineError.h"
#include "EngineTestSupport.h"
#include "Integrators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using rdtest::bits;
using rdtest::kDefaults;

namespace {

struct Outcome {
    bool threw = false;
    rd::EngineError::Kind kind {};
    std::string what;
};

Outcome step(rd::SimState& s, int dim, rd::Model m, bool reference)
{
    Outcome o;
    try {
        if (dim == 1)
            reference ? rd::scalar::Step1D(s, m) : rd::Step1D(s, m);
        else if (s.phaseA)
            reference ? rd::scalar::Step2DFromA(s, m) : rd::Step2DFromA(s, m);
        else
            reference ? rd::scalar::Step2DFromB(s, m) : rd::Step2DFromB(s, m);
    } catch (const rd::EngineError& e) {
        o.threw = true;
        o.kind = e.kind();
        o.what = e.what();
    }
    return o;
}

// The first element whose bits differ, or -1.
std::int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (bits(a[k]) != bits(b[k]))
            return static_cast<std::int64_t>(k);
    return -1;
}

::testing::AssertionResult sameState(const rd::SimState& got, const rd::SimState& want)
{
    const std::pair<const char*, const std::vector<float> rd::SimState::*> arrays[] = {
        { "uA", &rd::SimState::uA },
        { "vA", &rd::SimState::vA },
        { "uB", &rd::SimState::uB },
        { "vB", &rd::SimState::vB },
    };
    for (const auto& [name, member] : arrays) {
        const std::int64_t k = firstDifference(got.*member, want.*member);
        if (k >= 0)
            return ::testing::AssertionFailure() << name << "[" << k << "] is " << (got.*member)[k]
                                                 << ", scalar gives " << (want.*member)[k];
    }
    if (bits(got.synU) != bits(want.synU) || bits(got.synV) != bits(want.synV))
        return ::testing::AssertionFailure() << "synU/synV " << got.synU << "/" << got.synV
                                             << ", scalar " << want.synU << "/" << want.synV;
    if (got.phaseA != want.phaseA)
        return ::testing::AssertionFailure() << "phaseA " << got.phaseA;
    return ::testing::AssertionSuccess();
}

// Steps a copy on each path; stops after the first error, which both must raise alike.
// Returns the number of steps that completed.
int compareRun(const rd::SimState& start, int dim, rd::Model m, int steps, const std::string& tag)
{
    rd::SimState fast = start, ref = start;
    for (int t = 0; t < steps; ++t) {
        const Outcome a = step(fast, dim, m, false);
        const Outcome b = step(ref, dim, m, true);
        const std::string where = tag + " step " + std::to_string(t);
        EXPECT_EQ(a.threw, b.threw) << where << ": " << a.what << " / " << b.what;
        EXPECT_EQ(a.what, b.what) << where;
        EXPECT_EQ(a.kind, b.kind) << where;
        EXPECT_TRUE(sameState(fast, ref)) << where;
        if (a.threw || b.threw || ::testing::Test::HasFailure())
            return t;
    }
    return steps;
}

enum class Field { Ordinary, NearZero, NearOverflow };

float draw(std::mt19937& g, Field kind, float range)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float r = unit(g);
    if (kind == Field::Ordinary)
        return r * range;
    const int pick = static_cast<int>(g() % 8);
    if (kind == Field::NearZero) {
        switch (pick) {
        case 0:
            return 0.0f;
        case 1:
            return -0.0f;
        case 2: // a subnormal
            return std::bit_cast<float>(static_cast<std::uint32_t>(g() % 0x7FFFFFu + 1u));
        case 3:
            return std::numeric_limits<float>::min() * (1.0f + r);
        case 4:
            return r * 1e-20f;
        default:
            return r * range;
        }
    }
    // Large enough that u*u, u*u*v or a sum of several steps may leave the range.
    if (g() % 16 == 0)
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
        const double w = dim == 1 ? 2.0 : 4.0;
        s.su = static_cast<float>(1.0 - w * static_cast<double>(s.cu));
        s.sv = static_cast<float>(1.0 - w * static_cast<double>(s.cv));
    }
    for (auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
        for (float& x : *a)
            x = draw(g, kind, a == &s.uA || a == &s.uB ? s.uMax : s.vMax);
    s.synU = factor(g);
    s.synV = -factor(g);
    return s;
}

class OnEachVectorPath : public ::testing::TestWithParam<rd::SimdLevel> {
protected:
    void SetUp() override { ASSERT_TRUE(rd::setSimdLevelForTesting(GetParam())); }
    void TearDown() override { rd::setSimdLevelForTesting(rd::availableSimdLevels().back()); }
};

std::vector<rd::SimdLevel> vectorLevels()
{
    std::vector<rd::SimdLevel> levels;
    for (rd::SimdLevel l : rd::availableSimdLevels())
        if (l != rd::SimdLevel::Scalar)
            levels.push_back(l);
    return levels;
}

TEST_P(OnEachVectorPath, EveryModelAndSizeMatchesTheScalarPathBitForBit)
{
    ASSERT_STREQ(rd::dispatchedPathName(), rd::simdLevelName(GetParam()));
    const Field kinds[] = { Field::Ordinary, Field::NearZero, Field::NearOverflow };
    int stepsDone = 0, errors = 0;
    for (int n = 1; n <= 129; ++n)
        for (int model = 0; model < 4; ++model)
            for (int dim : { 1, 2 })
                for (int variant = 0; variant < 3; ++variant) {
                    const Field kind = kinds[(variant + n) % 3];
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
    // The near-overflow fields must really have exercised the error path, and the others
    // long runs.
    EXPECT_GT(errors, 100);
    EXPECT_GT(stepsDone, 50000);
}

TEST_P(OnEachVectorPath, LongRunsAtTheLargestSizesStayIdentical)
{
    for (int model = 0; model < 4; ++model)
        for (int n : { 128, 129 }) {
            const rd::SimState s = randomState(model, 2, n, Field::Ordinary, false, 5u + n);
            const std::string tag = std::string(kDefaults[model].name) + " N=" + std::to_string(n);
            EXPECT_EQ(compareRun(s, 2, kDefaults[model].model, 40, tag), 40) << tag;
        }
}

// One bad cell at every interior position of a row (or the line): the error must come
// from that cell, in the middle of whatever vector block holds it, with every cell
// before it new and every cell from it on old, on each path as on the scalar one.
struct BadCell {
    const char* name;
    int model;
    float u; // the activator value planted at the bad cell
    float kB, kC; // model constants that make a denominator vanish there, or NaN to keep
};

const float kKeep = std::numeric_limits<float>::quiet_NaN();

const BadCell kBadCells[] = {
    { "overflow_gm", 0, 1e20f, kKeep, kKeep },
    { "overflow_sch", 1, 1e20f, kKeep, kKeep },
    { "overflow_gs", 2, 1e20f, kKeep, kKeep },
    { "overflow_ore", 3, 1e20f, kKeep, kKeep },
    { "invalid_gm", 0, std::numeric_limits<float>::infinity(), kKeep, kKeep },
    { "invalid_sch", 1, std::numeric_limits<float>::infinity(), kKeep, kKeep },
    { "invalid_gs", 2, std::numeric_limits<float>::infinity(), kKeep, kKeep },
    { "invalid_ore", 3, std::numeric_limits<float>::infinity(), kKeep, kKeep },
    // 1 + kC u u = 0 at u = 1 (the other cells hold u >= 1.5).
    { "zero_saturation_gm", 0, 1.0f, kKeep, -1.0f },
    // u + kB = 0 at u = 0 (the other cells are positive).
    { "zero_denominator_ore", 3, 0.0f, 0.0f, kKeep },
};

TEST_P(OnEachVectorPath, AnErrorInsideABlockIsRaisedAtItsCellWithTheSameCellsWritten)
{
    for (const BadCell& bad : kBadCells)
        for (int dim : { 1, 2 }) {
            const int n = 41;
            const rd::SimState base = randomState(bad.model, dim, n, Field::Ordinary, false, 3);
            const int row = dim == 1 ? 0 : 3;
            for (int col = 1; col < n - 1; ++col) {
                rd::SimState s = base;
                for (std::int64_t k = 0; k < (dim == 1 ? n : n * n); ++k)
                    s.uA[k] = 1.5f + 0.25f * (s.uA[k] / s.uMax);
                if (!std::isnan(bad.kB))
                    s.kB = bad.kB;
                if (!std::isnan(bad.kC))
                    s.kC = bad.kC;
                s.uA[static_cast<std::int64_t>(row) * n + col] = bad.u;
                const std::string tag = std::string(bad.name) + " " + std::to_string(dim)
                    + "D column " + std::to_string(col);
                rd::SimState fast = s, ref = s;
                const Outcome a = step(fast, dim, kDefaults[bad.model].model, false);
                const Outcome b = step(ref, dim, kDefaults[bad.model].model, true);
                ASSERT_TRUE(b.threw) << tag;
                const std::string cell = dim == 1
                    ? "at cell " + std::to_string(col)
                    : "at cell column " + std::to_string(col) + ", row " + std::to_string(row);
                ASSERT_NE(b.what.find(cell), std::string::npos) << tag << ": " << b.what;
                ASSERT_TRUE(a.threw) << tag;
                EXPECT_EQ(a.kind, b.kind) << tag;
                EXPECT_EQ(a.what, b.what) << tag;
                ASSERT_TRUE(sameState(fast, ref)) << tag;
            }
        }
}

TEST_P(OnEachVectorPath, NegativeZeroSurvivesTheClampAndNegativesBecomePositiveZero)
{
    // Gray-Scott with kA = kB = 0 and a negative gain on a field of -0.0: every product
    // and sum is -0.0, and -0.0 < 0 is false, so the scalar path stores -0.0.
    rd::SimState s = rdtest::makeState(kDefaults[2], 2, 37);
    s.kA = s.kB = 0.0f;
    s.reactGain = -1.0f;
    for (auto* a : { &s.uA, &s.vA })
        std::fill(a->begin(), a->end(), -0.0f);
    rd::SimState ref = s;
    rd::Step2DFromA(s, rd::Model::GrayScott);
    rd::scalar::Step2DFromA(ref, rd::Model::GrayScott);
    EXPECT_EQ(bits(ref.uB[37 * 18 + 18]), 0x80000000u);
    EXPECT_TRUE(sameState(s, ref));

    // A large negative increment: the new values are below zero and become +0.0.
    rd::SimState t = rdtest::makeState(kDefaults[2], 2, 37);
    t.reactGain = 100.0f;
    std::fill(t.uA.begin(), t.uA.end(), 1e-3f);
    rd::SimState tref = t;
    rd::Step2DFromA(t, rd::Model::GrayScott);
    rd::scalar::Step2DFromA(tref, rd::Model::GrayScott);
    EXPECT_EQ(bits(tref.uB[37 * 18 + 18]), 0u);
    EXPECT_TRUE(sameState(t, tref));
}

INSTANTIATE_TEST_SUITE_P(Engine, OnEachVectorPath, ::testing::ValuesIn(vectorLevels()),
    [](const auto& info) { return std::string(rd::simdLevelName(info.param)); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OnEachVectorPath);

TEST(Dispatch, TheBestAvailablePathIsTheDefaultAndEveryAvailableOneCanBeChosen)
{
    const std::vector<rd::SimdLevel> levels = rd::availableSimdLevels();
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), rd::SimdLevel::Scalar);
    EXPECT_STREQ(rd::dispatchedPathName(), rd::simdLevelName(levels.back()));
    for (rd::SimdLevel l : levels) {
        EXPECT_TRUE(rd::setSimdLevelForTesting(l));
        EXPECT_EQ(rd::simdLevel(), l);
    }
    rd::setSimdLevelForTesting(levels.back());
#if defined(__x86_64__)
    EXPECT_GE(levels.size(), 2u) << "SSE2 is part of every x86-64 processor";
#endif
}

} // namespace
