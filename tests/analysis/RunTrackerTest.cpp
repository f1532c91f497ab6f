// The run state from synthetic fields: a mean that swings as a whole against one that only
// jitters at rounding level while the field is still settling.
#include "analysis/RunTracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rd::analysis::RunState;
using rd::analysis::RunTracker;

struct SwingCase {
    const char* name;
    int movingCells; // of 100, each moved by +swing and -swing in turn
    float swing;
    RunState expected;
};

class Swings : public testing::TestWithParam<SwingCase> { };

TEST_P(Swings, OfTheMeanEvery100Steps)
{
    const SwingCase& c = GetParam();
    RunTracker tracker(1.0);
    std::vector<float> u(100, 0.5f);
    tracker.observe(u, 0);
    for (int k = 1; k <= 12; ++k) {
        for (int i = 0; i < c.movingCells; ++i)
            u[static_cast<std::size_t>(i)] = 0.5f + (k % 2 ? c.swing : -c.swing);
        tracker.observe(u, 100);
    }
    EXPECT_EQ(tracker.state(), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(RunTracker, Swings,
    testing::Values(
        // One cell moving by 5e-5 keeps the field changing (5e-7 per step) and moves the mean
        // by 5e-7: far below a swing of the tolerance per step over the 100 steps.
        SwingCase { "RoundingJitter", 1, 5e-5f, RunState::StillChanging },
        SwingCase { "WholeFieldSwings", 100, 0.1f, RunState::Oscillating },
        SwingCase { "SmallSwingAboveTheFloor", 100, 2e-5f, RunState::Oscillating }),
    [](const testing::TestParamInfo<SwingCase>& info) { return std::string(info.param.name); });

} // namespace
