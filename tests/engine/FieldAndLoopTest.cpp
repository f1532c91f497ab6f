#include "EngineTestSupport.h"
#include "FieldInit.h"
#include "RunLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FieldInit, RandomStaysInItsBandAndLeavesSetBAndTheSpareElement)
{
    for (float range : { 3.0f, 1.0f }) {
        for (int dim : { 1, 2 }) {
            rd::SimState s = rdtest::makeState(rdtest::kDefaults[0], dim, 128);
            s.uMax = s.vMax = range;
            const std::size_t spare = s.uA.size() - 1;
            s.uA[spare] = 7.0f;
            s.uB.assign(s.uB.size(), 9.0f);
            rd::UniformSource rng(42);
            rd::fillRandom(s, dim == 1, rng);
            for (std::size_t k = 0; k < spare; ++k) {
                ASSERT_GE(s.uA[k], 0.5f * range);
                ASSERT_LT(s.uA[k], 0.6f * range);
                ASSERT_GE(s.vA[k], 0.5f * range);
                ASSERT_LT(s.vA[k], 0.6f * range);
            }
            EXPECT_EQ(s.uA[spare], 7.0f);
            EXPECT_EQ(s.vA[spare], 0.0f);
            EXPECT_EQ(s.uB[0], 9.0f);
        }
    }
}

TEST(FieldInit, UniformSourceNeverReachesOne)
{
    rd::UniformSource rng(1);
    float top = 0.0f;
    for (int k = 0; k < 2000000; ++k)
        top = std::max(top, rng.next());
    EXPECT_LT(top, 1.0f);
    EXPECT_GT(top, 0.999f);
}

TEST(FieldInit, ClearZeroesTheCellsOnly)
{
    rd::SimState s = rdtest::makeState(rdtest::kDefaults[0], 2, 5);
    s.uA.assign(s.uA.size(), 2.0f);
    s.vA.assign(s.vA.size(), 2.0f);
    rd::clearField(s, false);
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ(s.uA[k], 0.0f);
    EXPECT_EQ(s.uA[25], 2.0f);
}

struct LoopTrace {
    std::vector<int> drawnAtCounter;
    int lastCounter = 0;
    int steps = 0;
};

TEST(RunLoop, FirstRedrawFollowsIterationTwentyWhenTheCounterReads21)
{
    rd::SimState s;
    s.itersPerImage = 20;
    s.running = rd::kTrue;
    LoopTrace t;
    rd::runLoop(
        s, [&] { ++t.steps; }, [&](int shown) { t.lastCounter = shown; },
        [&] { t.drawnAtCounter.push_back(t.lastCounter); },
        [&] {
            if (t.steps == 45)
                s.running = rd::kFalse; // a Stop handled in this yield
        });
    EXPECT_EQ(t.steps, 45);
    EXPECT_EQ(t.lastCounter, 46);
    EXPECT_EQ(t.drawnAtCounter, (std::vector<int> { 21, 41 }));
}

TEST(RunLoop, EndsAfterOneMillionIterationsWithoutClearingRunning)
{
    rd::SimState s;
    s.itersPerImage = 1;
    s.running = rd::kTrue;
    int counter = 0, draws = 0;
    rd::runLoop(
        s, [] {}, [&](int shown) { counter = shown; }, [&] { ++draws; }, [] {});
    EXPECT_EQ(counter, 1000001);
    EXPECT_EQ(draws, 1000000);
    EXPECT_EQ(s.running, rd::kTrue);
}

TEST(RunLoop, ZeroRedrawPeriodFailsAfterTheFirstStepAndCounter)
{
    rd::SimState s;
    s.itersPerImage = 0;
    s.running = rd::kTrue;
    int steps = 0, counter = 0;
    try {
        rd::runLoop(
            s, [&] { ++steps; }, [&](int shown) { counter = shown; }, [] {}, [] {});
        FAIL();
    } catch (const rd::EngineError& e) {
        EXPECT_EQ(e.kind(), rd::EngineError::Kind::DivisionByZero);
    }
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(counter, 2);
}

} // namespace
