// The Oregonator scales its activator rate by reactGain / kC in one stage: with kC = 0 the
// error leaves both outputs holding the stored unscaled rates, on every path.
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

using rdtest::bits;

struct Case {
    float u, v, kB;
    float rateU, rateV; // exact: u (1 - u) - (kA v)(u - kB) / (u + kB) and u - v, kA = 1
};
constexpr Case kCases[] = {
    { 3.0f, 2.0f, 1.0f, -7.0f, 1.0f },
    { 0.5f, 1.0f, 0.5f, 0.25f, -0.5f },
    { 2.0f, 0.0f, 8e-4f, -2.0f, 2.0f },
};

rd::SimState oregonator(const Case& c, int dim, int n)
{
    rd::SimState s = rdtest::makeState(rdtest::kDefaults[3], dim, n);
    s.kA = 1.0f;
    s.kB = c.kB;
    s.kC = 0.0f;
    return s;
}

TEST(OregonatorStage, AFailedStepLeavesTheUnscaledRatesOnEveryPath)
{
    const rd::SimdLevel chosen = rd::simdLevel();
    for (rd::SimdLevel level : rd::availableSimdLevels()) {
        ASSERT_TRUE(rd::setSimdLevelForTesting(level));
        for (int dim : { 1, 2 })
            for (const Case& c : kCases) {
                rd::SimState s = oregonator(c, dim, 37);
                const auto cells = static_cast<std::size_t>(rdtest::cellCount(dim, 37));
                std::fill_n(s.uA.begin(), cells, c.u);
                std::fill_n(s.vA.begin(), cells, c.v);
                EXPECT_EQ(rdtest::raised([&] { rdtest::step(s, dim, rd::Model::Oregonator); }).kind,
                    rd::EngineError::Kind::DivisionByZero);
                EXPECT_EQ(bits(s.synU), bits(c.rateU))
                    << rd::simdLevelName(level) << " " << dim << "D u " << c.u;
                EXPECT_EQ(bits(s.synV), bits(c.rateV))
                    << rd::simdLevelName(level) << " " << dim << "D u " << c.u;
            }
    }
    rd::setSimdLevelForTesting(chosen);
}

} // namespace
