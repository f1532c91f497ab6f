#include "EngineError.h"
#include "EngineTestSupport.h"
#include "Kinetics.h"

#include <gtest/gtest.h>

using rdtest::bits;
using rdtest::kDefaults;

namespace {

rd::SimState defaults(int model) { return rdtest::makeState(kDefaults[model], 2, 4); }

TEST(Kinetics, StatedIncrementsAtStartUpConstants)
{
    float su = 99.0f, sv = 99.0f;
    rd::SimState gm = defaults(0);
    rd::FuncGM(gm, 0.0f, 0.0f, su, sv);
    // Unscaled rates 0.1 and 0: the increments are exactly 0.001f and +0.
    EXPECT_EQ(bits(su), bits(0.001f));
    EXPECT_EQ(bits(sv), 0u);

    rd::SimState sch = defaults(1);
    rd::FuncSch(sch, 1.0f, 1.0f, su, sv);
    // (0.025 - 1) + 1 is 0.0249999762 in single precision, so the increments sit 9 and 1
    // ULP below the decimal 0.00025 and 0.0055.
    EXPECT_EQ(bits(su), 0x39831266u);
    EXPECT_EQ(bits(sv), 0x3bb43957u);

    rd::SimState gs = defaults(2);
    rd::FuncGS(gs, 0.0f, 1.0f, su, sv);
    EXPECT_EQ(su, 0.0f);
    EXPECT_EQ(sv, 0.0f);

    rd::SimState ore = defaults(3);
    rd::FuncOre(ore, 0.0f, 0.0f, su, sv);
    EXPECT_EQ(su, 0.0f);
    EXPECT_EQ(sv, 0.0f);
}

TEST(Kinetics, GiererMeinhardtEvaluatesTheInhibitorFractionInDouble)
{
    // u*u / (v + 0.001) in double, then divided by the single saturation term. At
    // u = 1, v = 0 that is 1000 / 1.5 = 666.666..., the sum 665.2666... rounds to single
    // only at the store; a single-precision fraction would give another last bit.
    rd::SimState s = defaults(0);
    s.reactGain = 1.0f;
    float su = 0.0f, sv = 0.0f;
    rd::FuncGM(s, 1.0f, 0.0f, su, sv);
    const double expected = static_cast<double>(0.1f - 1.5f) + (1.0 / (0.0 + 0.001)) / 1.5;
    EXPECT_EQ(bits(su), bits(static_cast<float>(expected)));
    const float singleFraction = (0.1f - 1.5f) + (1.0f / 0.001f) / 1.5f;
    EXPECT_NE(bits(su), bits(singleFraction)) << "the test input must tell the two apart";
    EXPECT_EQ(sv, 1.0f);
}

TEST(Kinetics, OutputsDoNotDependOnTheirPreviousContents)
{
    for (int m = 0; m < 4; ++m) {
        rd::SimState s = defaults(m);
        float a1 = 123.0f, b1 = -7.0f, a2 = 0.0f, b2 = 1e30f;
        rd::callModel(kDefaults[m].model, s, 0.7f, 1.3f, a1, b1);
        rd::callModel(kDefaults[m].model, s, 0.7f, 1.3f, a2, b2);
        EXPECT_EQ(bits(a1), bits(a2)) << kDefaults[m].name;
        EXPECT_EQ(bits(b1), bits(b2)) << kDefaults[m].name;
    }
}

TEST(Kinetics, ZeroDenominatorsRaiseDivisionByZero)
{
    float su = 5.0f, sv = 6.0f;
    rd::SimState ore = defaults(3);
    ore.kC = 0.0f;
    for (float u : { 0.0f, 0.5f, 2.0f }) {
        try {
            rd::FuncOre(ore, u, 0.25f, su, sv);
            FAIL() << "kC = 0 must raise";
        } catch (const rd::EngineError& e) {
            EXPECT_EQ(e.kind(), rd::EngineError::Kind::DivisionByZero);
        }
    }
    ore.kC = 0.01f;
    ore.kB = 0.0f; // u + kB = 0 at u = 0
    EXPECT_THROW(rd::FuncOre(ore, 0.0f, 1.0f, su, sv), rd::EngineError);

    rd::SimState gm = defaults(0);
    gm.kC = -1.0f; // 1 + kC u^2 = 0 at u = 1
    try {
        rd::FuncGM(gm, 1.0f, 1.0f, su, sv);
        FAIL() << "zero saturation term must raise";
    } catch (const rd::EngineError& e) {
        EXPECT_EQ(e.kind(), rd::EngineError::Kind::DivisionByZero);
    }
}

TEST(Kinetics, OverflowIsCaughtAtTheStoreAndLeavesTheEarlierStages)
{
    rd::SimState gs = defaults(2);
    gs.reactGain = 1e30f;
    float su = 0.0f, sv = 0.0f;
    try {
        rd::FuncGS(gs, 1e5f, 1e5f, su, sv);
        FAIL() << "scaling by 1e30 must overflow";
    } catch (const rd::EngineError& e) {
        EXPECT_EQ(e.kind(), rd::EngineError::Kind::Overflow);
    }
    // The unscaled rates were stored before the scaling overflowed.
    EXPECT_EQ(bits(sv), bits(0.04f * (1.0f - 1e5f) - (1e5f * 1e5f) * 1e5f));

    // An intermediate overflow whose stored result would be finite still counts:
    // (kC u) u overflows, 1 + inf = inf, and the fraction divided by it is 0.
    rd::SimState gm = defaults(0);
    gm.kC = 1e30f;
    EXPECT_THROW(rd::FuncGM(gm, 1e10f, 1.0f, su, sv), rd::EngineError);
}

} // namespace
