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

// The Oregonator scales its activator rate by reactGain / kC in one stage: with kC = 0 the
// error leaves both outputs holding the stored unscaled rates, on every path.
struct Case {
    float u, v, kB;
    float rateU, rateV; // exact: u (1 - u) - (kA v)(u - kB) / (u + kB) and u - v, kA = 1
};
constexpr Case kCases[] = {
    { 3.0f, 2.0f, 1.0f, -7.0f, 1.0f },
    { 0.5f, 1.0f, 0.5f, 0.25f, -0.5f },
    { 2.0f, 0.0f, 8e-4f, -2.0f, 2.0f },
};

TEST(OregonatorStage, AFailedStepLeavesTheUnscaledRatesOnEveryPath)
{
    const rd::SimdLevel chosen = rd::simdLevel();
    for (rd::SimdLevel level : rd::availableSimdLevels()) {
        ASSERT_TRUE(rd::setSimdLevelForTesting(level));
        for (int dim : { 1, 2 })
            for (const Case& c : kCases) {
                rd::SimState s = rdtest::makeState(kDefaults[3], dim, 37);
                s.kA = 1.0f;
                s.kB = c.kB;
                s.kC = 0.0f;
                const auto cells = static_cast<std::size_t>(rdtest::cellCount(dim, 37));
                std::fill_n(s.uA.begin(), cells, c.u);
                std::fill_n(s.vA.begin(), cells, c.v);
                EXPECT_EQ(rdtest::raised([&] { rdtest::step(s, dim, rd::Model::Oregonator); }).kind,
                    rd::EngineError::Kind::DivisionByZero);
                EXPECT_EQ((std::pair { bits(s.synU), bits(s.synV) }),
                    (std::pair { bits(c.rateU), bits(c.rateV) }))
                    << rd::simdLevelName(level) << " " << dim << "D u " << c.u;
            }
    }
    rd::setSimdLevelForTesting(chosen);
}

} // namespace
