#include "Kinetics.h"
#include "EngineTestSupport.h"

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

TEST(Kinetics, StatedIncrementsAtStartUpConstants)
{
    struct Case {
        int model;
        float u, v;
        std::uint32_t su, sv;
    };
    // Gierer-Meinhardt: unscaled rates 0.1 and 0. Schnakenberg: (0.025 - 1) + 1 is
    // 0.0249999762 in single precision, so the increments sit 9 and 1 ULP below the decimal
    // 0.00025 and 0.0055.
    for (const Case& c : { Case { 0, 0.0f, 0.0f, bits(0.001f), 0u },
             Case { 1, 1.0f, 1.0f, 0x39831266u, 0x3bb43957u }, Case { 2, 0.0f, 1.0f, 0u, 0u },
             Case { 3, 0.0f, 0.0f, 0u, 0u } }) {
        // Outputs set to junk first: they must not be read.
        float su = 123.0f, sv = -7.0f;
        rd::callModel(kDefaults[c.model].model, defaults(c.model), c.u, c.v, su, sv);
        EXPECT_EQ(bits(su), c.su) << kDefaults[c.model].name;
        EXPECT_EQ(bits(sv), c.sv) << kDefaults[c.model].name;
    }
}

TEST(Kinetics, GiererMeinhardtEvaluatesTheInhibitorFractionInDouble)
{
    // u*u / (v + 0.001) in double, divided by the single saturation term: at u = 1, v = 0 the
    // sum 665.2666... rounds to single only at the store.
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
