// The Random and Clear buttons' bands, set B and the spare element are checked through the
// window (settings window tests), and the loop's counter and redraw period by the window's runs;
// what is left here is what a window run cannot reach.
#include "engine/FieldInit.h"
#include "engine/RunLoop.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(FieldInit, UniformSourceNeverReachesOne)
{
    rd::UniformSource rng(1);
    float top = 0.0f;
    for (int k = 0; k < 2000000; ++k)
        top = std::max(top, rng.next());
    EXPECT_LT(top, 1.0f);
    EXPECT_GT(top, 0.999f);
}

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

} // namespace
