#include "EngineError.h"
#include "EngineTestSupport.h"
#include "Integrators.h"
#include "Kinetics.h"

#include <gtest/gtest.h>

#include <cmath>
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

void step(rd::SimState& s, int dim, rd::Model m)
{
    if (dim == 1)
        rd::Step1D(s, m);
    else if (s.phaseA)
        rd::Step2DFromA(s, m);
    else
        rd::Step2DFromB(s, m);
}

const std::vector<float>& currentU(const rd::SimState& s, int dim)
{
    return dim == 2 && !s.phaseA ? s.uB : s.uA;
}
const std::vector<float>& currentV(const rd::SimState& s, int dim)
{
    return dim == 2 && !s.phaseA ? s.vB : s.vA;
}

TEST_P(EveryModelAndDimension, UniformFieldStaysUniformAtEdgesAndCorners)
{
    const auto [model, dim] = GetParam();
    rd::SimState s = makeState(kDefaults[model], dim, 7);
    const std::int64_t cells = dim == 1 ? 7 : 49;
    const float a = 0.5f * kDefaults[model].uMax, b = 0.55f * kDefaults[model].vMax;
    for (std::int64_t k = 0; k < cells; ++k) {
        s.uA[k] = a;
        s.vA[k] = b;
    }
    step(s, dim, kDefaults[model].model);
    const auto& u = currentU(s, dim);
    const auto& v = currentV(s, dim);
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
    const int n = 9;
    rd::SimState s = makeState(kDefaults[model], dim, n);
    rdtest::fillStartField(s, dim == 1 ? n : n * n, 77);
    // Reflect: row j equals row L - j (2D), cell i equals cell L - i (1D).
    for (int j = 0; j < (dim == 1 ? 1 : n); ++j)
        for (int i = 0; i < n; ++i) {
            const int src = dim == 1 ? i : j * n + i;
            const int dst = dim == 1 ? n - 1 - i : (n - 1 - j) * n + i;
            if (dst > src) {
                s.uA[dst] = s.uA[src];
                s.vA[dst] = s.vA[src];
            }
        }
    for (int t = 0; t < 40; ++t)
        step(s, dim, kDefaults[model].model);
    const auto& u = currentU(s, dim);
    for (int j = 0; j < (dim == 1 ? 1 : n); ++j)
        for (int i = 0; i < n; ++i) {
            const int src = dim == 1 ? i : j * n + i;
            const int dst = dim == 1 ? n - 1 - i : (n - 1 - j) * n + i;
            ASSERT_EQ(bits(u[src]), bits(u[dst])) << "row " << j << " column " << i;
        }
}

TEST_P(EveryModelAndDimension, WithoutDiffusionTheStepIsThePureReactionClampedAtZero)
{
    const auto [model, dim] = GetParam();
    rd::SimState s = makeState(kDefaults[model], dim, 5);
    s.cu = s.cv = 0.0f;
    s.su = s.sv = 1.0f;
    const std::int64_t cells = dim == 1 ? 5 : 25;
    rdtest::fillStartField(s, cells, 5);
    const rd::SimState before = s;
    step(s, dim, kDefaults[model].model);
    const auto& u = currentU(s, dim);
    const auto& v = currentV(s, dim);
    for (std::int64_t k = 0; k < cells; ++k) {
        rd::SimState probe = before;
        float ru = 0, rv = 0;
        rd::callModel(kDefaults[model].model, probe, before.uA[k], before.vA[k], ru, rv);
        const float eu = static_cast<float>(static_cast<double>(before.uA[k]) + ru);
        const float ev = static_cast<float>(static_cast<double>(before.vA[k]) + rv);
        EXPECT_EQ(bits(u[k]), bits(eu < 0 ? 0.0f : eu)) << k;
        EXPECT_EQ(bits(v[k]), bits(ev < 0 ? 0.0f : ev)) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, EveryModelAndDimension,
    ::testing::Values(Case { 0, 1 }, Case { 0, 2 }, Case { 1, 1 }, Case { 1, 2 }, Case { 2, 1 },
        Case { 2, 2 }, Case { 3, 1 }, Case { 3, 2 }),
    [](const auto& info) {
        return std::string(kDefaults[info.param.model].name) + "_"
            + std::to_string(info.param.dim) + "D";
    });

TEST(Integrators, NegativeResultsBecomePositiveZeroInBothSets)
{
    // Gray-Scott removes u at 0.1 per step with v = 0: a strong negative increment on a
    // tiny value, so every cell would go below zero.
    rd::SimState s = makeState(kDefaults[2], 1, 4);
    s.reactGain = 100.0f;
    for (int i = 0; i < 4; ++i)
        s.uA[i] = 1e-3f;
    rd::Step1D(s, rd::Model::GrayScott);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bits(s.uA[i]), 0u);
        EXPECT_EQ(bits(s.uB[i]), 0u);
    }

    rd::SimState t = makeState(kDefaults[2], 2, 3);
    t.reactGain = 100.0f;
    for (int k = 0; k < 9; ++k)
        t.uA[k] = 1e-3f;
    rd::Step2DFromA(t, rd::Model::GrayScott);
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(bits(t.uB[k]), 0u);
}

TEST(Integrators, TwoStepsAlternateTheBufferSets)
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
}

TEST(Integrators, OneDimensionalStepEndsWithBothSetsEqual)
{
    rd::SimState s = makeState(kDefaults[1], 1, 10);
    rdtest::fillStartField(s, 10, 8);
    const rd::Bool16 phase = s.phaseA = rd::kFalse;
    rd::Step1D(s, rd::Model::Schnakenberg);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(bits(s.uA[i]), bits(s.uB[i]));
        EXPECT_EQ(bits(s.vA[i]), bits(s.vB[i]));
    }
    EXPECT_EQ(s.phaseA, phase) << "1D never touches phaseA";
}

TEST(Integrators, SmallestGridsUseTheMirrorAndTheSpareElement)
{
    // N = 2: every cell is a corner; cell 0 reads elements 1 and 2 (twice each, as 2cu).
    rd::SimState s = makeState(kDefaults[0], 2, 2);
    s.reactGain = 0.0f; // isolate the stencil
    const float vals[4] = { 1.0f, 2.0f, 4.0f, 8.0f };
    for (int k = 0; k < 4; ++k)
        s.uA[k] = vals[k];
    rd::Step2DFromA(s, rd::Model::GiererMeinhardt);
    const double cu2 = static_cast<double>(s.cu) + s.cu, su = s.su;
    EXPECT_EQ(bits(s.uB[0]), bits(static_cast<float>((4.0 + 2.0) * cu2 + 1.0 * su)));
    EXPECT_EQ(bits(s.uB[3]), bits(static_cast<float>((2.0 + 4.0) * cu2 + 8.0 * su)));

    // N = 1: the single cell reads the spare element 1 as both neighbours.
    rd::SimState one = makeState(kDefaults[0], 2, 1);
    ASSERT_EQ(one.uA.size(), 2u);
    one.reactGain = 0.0f;
    one.uA[0] = 1.0f;
    one.uA[1] = 3.0f;
    rd::Step2DFromA(one, rd::Model::GiererMeinhardt);
    const double c2 = static_cast<double>(one.cu) + one.cu;
    EXPECT_EQ(bits(one.uB[0]), bits(static_cast<float>((3.0 + 3.0) * c2 + 1.0 * one.su)));

    rd::SimState line = makeState(kDefaults[0], 1, 1);
    line.reactGain = 0.0f;
    line.uA[0] = 1.0f;
    line.uA[1] = 3.0f;
    rd::Step1D(line, rd::Model::GiererMeinhardt);
    const double l2 = static_cast<double>(line.cu) + line.cu;
    EXPECT_EQ(bits(line.uA[0]), bits(static_cast<float>(l2 * 3.0 + 1.0 * line.su)));
    EXPECT_EQ(line.uA[1], 3.0f) << "the spare element is read, never written";

    // 1D N = 2: lastInner = 0, each end reads the other.
    rd::SimState two = makeState(kDefaults[0], 1, 2);
    two.reactGain = 0.0f;
    two.uA[0] = 1.0f;
    two.uA[1] = 5.0f;
    rd::Step1D(two, rd::Model::GiererMeinhardt);
    const double t2 = static_cast<double>(two.cu) + two.cu;
    EXPECT_EQ(bits(two.uA[0]), bits(static_cast<float>(t2 * 5.0 + 1.0 * two.su)));
    EXPECT_EQ(bits(two.uA[1]), bits(static_cast<float>(t2 * 1.0 + 5.0 * two.su)));
}

TEST(Integrators, OverflowPartWayLeavesEarlierCellsNewAndLaterCellsOld)
{
    rd::SimState s = makeState(kDefaults[1], 2, 8);
    rdtest::fillStartField(s, 64, 11);
    // Schnakenberg's u^2 v overflows single precision at cell (3, 4).
    const int bad = 4 * 8 + 3;
    s.uA[bad] = 1e15f;
    s.vA[bad] = 1e15f;
    std::fill(s.uB.begin(), s.uB.end(), -1.0f);
    const rd::SimState reference = [&] {
        rd::SimState r = s;
        r.uA[bad] = 1.0f;
        r.vA[bad] = 1.0f;
        return r;
    }();
    try {
        rd::Step2DFromA(s, rd::Model::Schnakenberg);
        FAIL() << "expected an overflow";
    } catch (const rd::EngineError& e) {
        EXPECT_EQ(e.kind(), rd::EngineError::Kind::Overflow);
        EXPECT_NE(std::string(e.what()).find("column 3, row 4"), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.phaseA, rd::kTrue) << "an abandoned step does not flip the sets";
    // Cells before the failing one hold their new values (those of an unaffected step
    // wherever the bad cell is not a neighbour); cells after it keep their old contents.
    rd::SimState good = reference;
    rd::Step2DFromA(good, rd::Model::Schnakenberg);
    for (int k = 0; k < bad - 8; ++k)
        EXPECT_EQ(bits(s.uB[k]), bits(good.uB[k])) << k;
    for (int k = bad; k < 64; ++k)
        EXPECT_EQ(s.uB[k], -1.0f) << k;
}

TEST(Integrators, ErrorInTheLineLeavesSetAUntouched)
{
    rd::SimState s = makeState(kDefaults[3], 1, 12);
    rdtest::fillStartField(s, 12, 21);
    s.kC = 0.0f; // every Oregonator call divides by zero
    const rd::SimState before = s;
    try {
        rd::Step1D(s, rd::Model::Oregonator);
        FAIL() << "expected a division by zero";
    } catch (const rd::EngineError& e) {
        EXPECT_EQ(e.kind(), rd::EngineError::Kind::DivisionByZero);
    }
    EXPECT_EQ(s.uA, before.uA);
    EXPECT_EQ(s.vA, before.vA);
    EXPECT_EQ(s.uB, before.uB) << "the first cell failed before any store";

    // A failure later in the line: set A still untouched, set B partly rewritten.
    rd::SimState t = makeState(kDefaults[1], 1, 12);
    rdtest::fillStartField(t, 12, 21);
    t.uA[9] = 1e15f;
    t.vA[9] = 1e15f;
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
    try {
        rd::Step2DFromA(s, rd::Model::GiererMeinhardt);
        FAIL();
    } catch (const rd::EngineError& e) {
        EXPECT_EQ(e.kind(), rd::EngineError::Kind::SubscriptOutOfRange);
    }
    EXPECT_EQ(s.uB, before.uB);
    EXPECT_EQ(s.phaseA, before.phaseA);

    rd::SimState one = makeState(kDefaults[0], 1, 1);
    one.uA.resize(1); // the spare element is read at N = 1
    EXPECT_THROW(rd::Step1D(one, rd::Model::GiererMeinhardt), rd::EngineError);
}

TEST(SimState, ResizeKeepsValuesByFlatIndexAndZeroFillsGrowth)
{
    rd::SimState s = makeState(kDefaults[0], 1, 128);
    ASSERT_EQ(s.uA.size(), 129u);
    for (int i = 0; i <= 128; ++i)
        s.uA[i] = static_cast<float>(i + 1);
    s.resizeArrays(s.highestIndex2D());
    ASSERT_EQ(s.uA.size(), 16385u);
    EXPECT_EQ(s.uA[128], 129.0f);
    EXPECT_EQ(s.uA[129], 0.0f);
    EXPECT_EQ(s.uA[16384], 0.0f);
    s.nCells = 64;
    s.lastIdx = 63;
    s.resizeArrays(s.highestIndex2D());
    EXPECT_EQ(s.uA.size(), 4097u);
    EXPECT_EQ(s.uA[64], 65.0f) << "row 1 of the new width starts with old element 64";
}

} // namespace
