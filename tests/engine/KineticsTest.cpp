#include "engine/Kinetics.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

using rdtest::bits;
using rdtest::kDefaults;

namespace {

rd::SimState defaults(int model)
{
    return rdtest::makeState(kDefaults[model], 2, 4);
}

// The kind of error the model raises at (u, v), if any.
std::optional<rd::EngineError::Kind> raised(int model, const rd::SimState& s, float u, float v)
{
    float su = 0.0f, sv = 0.0f;
    return rdtest::raised([&] { rd::callModel(kDefaults[model].model, s, u, v, su, sv); }).kind;
}

// The increments themselves are fixed by the golden runs, which an independent model of the
// arithmetic checks; here the errors the models raise.
TEST(Kinetics, ZeroDenominatorsRaiseDivisionByZero)
{
    constexpr auto kDiv = rd::EngineError::Kind::DivisionByZero;
    rd::SimState ore = defaults(3);
    ore.kC = 0.0f;
    for (float u : { 0.0f, 0.5f, 2.0f })
        EXPECT_EQ(raised(3, ore, u, 0.25f), kDiv) << u;
    ore.kC = 0.01f;
    ore.kB = 0.0f; // u + kB = 0 at u = 0
    EXPECT_EQ(raised(3, ore, 0.0f, 1.0f), kDiv);
    rd::SimState gm = defaults(0);
    gm.kC = -1.0f; // 1 + kC u^2 = 0 at u = 1
    EXPECT_EQ(raised(0, gm, 1.0f, 1.0f), kDiv);
}

TEST(Kinetics, OverflowIsCaughtAtTheStoreAndLeavesTheEarlierStages)
{
    rd::SimState gs = defaults(2);
    gs.reactGain = 1e30f;
    float su = 0.0f, sv = 0.0f;
    EXPECT_EQ(rdtest::raised([&] { rd::FuncGS(gs, 1e5f, 1e5f, su, sv); }).kind,
        rd::EngineError::Kind::Overflow);
    // The unscaled rates were stored before the scaling overflowed.
    EXPECT_EQ(bits(sv), bits(0.04f * (1.0f - 1e5f) - (1e5f * 1e5f) * 1e5f));
    // An intermediate overflow whose stored result would be finite still counts:
    // (kC u) u overflows, 1 + inf = inf, and the fraction divided by it is 0.
    rd::SimState gm = defaults(0);
    gm.kC = 1e30f;
    EXPECT_EQ(raised(0, gm, 1e10f, 1.0f), rd::EngineError::Kind::Overflow);
}

} // namespace
