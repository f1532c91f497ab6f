// The Random and Clear buttons' bands, set B and the spare element are checked through the
// window (settings window tests), the generator's every draw by shard_test.py's model of the
// seeded start, and the loop's counter and redraw period by the window's runs; what is left
// here is what a window run cannot reach.
#include "engine/RunLoop.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(RunLoop, ZeroRedrawPeriodFailsAfterTheFirstStepAndCounter)
{
    rd::SimState s;
    s.itersPerImage = 0;
    s.running = rd::kTrue;
    int steps = 0, counter = 0;
    const auto error = rdtest::raised([&] {
        rd::runLoop(
            s, [&] { ++steps; }, [&](int shown) { counter = shown; }, [] {}, [] {});
    });
    EXPECT_EQ(error.kind, rd::EngineError::Kind::DivisionByZero);
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(counter, 2);
}

// The loop ends by itself after the last iteration with the run still on (the next click is
// a Stop), or after the events that cleared running.
TEST(RunLoop, EndsAtTheIterationLimitOrWhenRunningIsCleared)
{
    for (const int stopAt : { 0, 7 }) {
        rd::SimState s;
        s.itersPerImage = 20;
        s.running = rd::kTrue;
        int steps = 0, counter = 0, draws = 0;
        rd::runLoop(
            s, [&] { ++steps; }, [&](int shown) { counter = shown; }, [&] { ++draws; },
            [&] { s.running = steps == stopAt ? rd::kFalse : s.running; });
        const int want = stopAt ? stopAt : rd::kMaxIterations;
        EXPECT_EQ(steps, want);
        EXPECT_EQ(counter, want + 1);
        EXPECT_EQ(draws, want / 20);
        EXPECT_EQ(s.running, stopAt ? rd::kFalse : rd::kTrue);
    }
}

} // namespace
