// The run state from synthetic series of the field's mean, checked every 100 steps as a
// watched run is: what repeats with a stable period against what only drifts, jitters or
// dies away.
#include "analysis/RunTracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

using rd::analysis::RunState;
using rd::analysis::RunTracker;

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A field of four equal cells following x(t), one value per check.
RunTracker track(const std::function<double(int)>& x, int checks, double uMax = 1.0)
{
    RunTracker tracker(uMax);
    std::vector<float> u(4);
    for (int t = 0; t <= checks; ++t) {
        std::fill(u.begin(), u.end(), static_cast<float>(x(t)));
        tracker.observe(u, t == 0 ? 0 : 100);
    }
    return tracker;
}

double sine(int t)
{
    return 0.2 + 0.05 * std::sin(kTwoPi * t / 6);
}

// Spikes every 51.5 checks (no whole number of checks, as a real period is), each four checks
// long, over a baseline that grows slowly: a relaxation oscillator seen every 100 steps.
double spikes(int t, double base)
{
    const double phase = std::fmod(double(t), 51.5);
    return phase < 4.0 ? 0.9 - 0.1 * phase : base + 5e-6 * phase;
}

struct SeriesCase {
    const char* name;
    std::function<double(int)> x;
    int checks;
    RunState expected;
};

class Series : public testing::TestWithParam<SeriesCase> { };

TEST_P(Series, OfTheMean)
{
    const SeriesCase& c = GetParam();
    const RunTracker tracker = track(c.x, c.checks);
    EXPECT_EQ(tracker.state(), c.expected) << rd::analysis::runStateName(tracker.state());
}

INSTANTIATE_TEST_SUITE_P(RunTracker, Series,
    testing::Values(SeriesCase { "SineOfSixChecks", sine, 60, RunState::Oscillating },
        // A period of about two checks shows as an alternation.
        SeriesCase { "Alternation", [](int t) { return 0.1 + (t % 2 ? 1e-3 : -1e-3); }, 40,
            RunState::Oscillating },
        SeriesCase {
            "RelaxationSpikes", [](int t) { return spikes(t, 1e-3); }, 200, RunState::Oscillating },
        // u is exactly 0 between some spikes: the field oscillates, it has not died out.
        SeriesCase { "SpikesOverZero", [](int t) { return spikes(t, 0.0) * (t % 3 != 1); }, 200,
            RunState::Oscillating },
        // Too few checks to see a period recur.
        SeriesCase { "SineOfTwentyChecks", sine, 20, RunState::StillChanging },
        // Swings of 4e-6 over 100 steps stay below the converged change.
        SeriesCase { "RoundingLevelSwings",
            [](int t) { return 0.2 + 4e-6 * std::sin(kTwoPi * t / 6); }, 60, RunState::Converged },
        // The mean climbs 6e-3 a period and reverses by 3e-4: a trend with small reversals.
        SeriesCase { "RiseWithReversals",
            [](int t) { return 0.1 + 1e-3 * t + 3e-4 * std::sin(kTwoPi * t / 6); }, 100,
            RunState::StillChanging },
        SeriesCase { "SaturatingRise", [](int t) { return 0.1 - 0.05 * std::exp(-t / 30.0); }, 100,
            RunState::StillChanging },
        // Spots dividing: the mean jumps at uneven intervals and holds in between.
        SeriesCase { "Staircase",
            [](int t) {
                int steps = 0;
                for (int at : { 7, 19, 26, 44, 51, 70, 83 })
                    steps += t >= at;
                return 0.05 + 0.01 * steps + 2e-4 * t;
            },
            100, RunState::StillChanging },
        // The swings halve every period: a damped oscillation on its way to rest.
        SeriesCase { "DyingAway",
            [](int t) { return 0.2 + 0.05 * std::exp2(-t / 6.0) * std::sin(kTwoPi * t / 6); }, 60,
            RunState::StillChanging },
        SeriesCase { "Noise",
            [](int t) {
                // A fixed linear congruential sequence in [-1, 1).
                std::uint32_t r = 12345u;
                for (int i = 0; i <= t; ++i)
                    r = r * 1664525u + 1013904223u;
                return 0.1 + 1e-3 * (double(r >> 8) / double(1u << 23) - 1.0);
            },
            120, RunState::StillChanging }),
    [](const testing::TestParamInfo<SeriesCase>& info) { return std::string(info.param.name); });

TEST(RunTracker, ALastShortIntervalIsLeftOutOfThePeriod)
{
    // A run that ends 37 steps after its last regular check, off the rhythm of the checks.
    RunTracker tracker = track(sine, 60);
    tracker.observe(std::vector<float>(4, 0.9f), 37);
    EXPECT_EQ(tracker.state(), RunState::Oscillating);
}

TEST(RunTracker, DiesOutAtTheFirstCheckBelowTheLevel)
{
    RunTracker tracker = track([](int t) { return t == 0 ? 0.3 : 2e-6; }, 1);
    EXPECT_EQ(tracker.state(), RunState::StillChanging);
    tracker.observe(std::vector<float>(4, 5e-7f), 100);
    EXPECT_EQ(tracker.state(), RunState::Extinct);
    EXPECT_FALSE(tracker.settled());
}

TEST(RunTracker, AQuietSpellOfAnOscillationIsNotSettled)
{
    // Between spikes the field changes by 5e-8 per step, below the converged change.
    const auto x = [](int t) { return spikes(t, 1e-3); };
    const RunTracker tracker = track(x, 165);
    ASSERT_GT(std::fmod(165.0, 51.5), 9.0); // five quiet checks before the last one
    EXPECT_EQ(tracker.state(), RunState::Oscillating);
    EXPECT_FALSE(tracker.settled());
    // The same quiet values without the spikes before them: converged.
    const RunTracker calm = track([&](int t) { return x(160 + t); }, 5);
    EXPECT_EQ(calm.state(), RunState::Converged);
    EXPECT_TRUE(calm.settled());
}

TEST(RunTracker, RecentLargestIsTheLargestMagnitudeOfTheKeptChecks)
{
    rd::analysis::TrackerLimits limits;
    limits.window = 3;
    RunTracker tracker(1.0, limits);
    const std::vector<std::vector<float>> fields
        = { { 0.1f, -0.9f }, { 0.2f, 0.3f }, { 0.25f, 0.0f }, { 0.05f, 0.1f } };
    const double expected[] = { 0.9, 0.9, 0.9, 0.3 };
    for (std::size_t k = 0; k < fields.size(); ++k) {
        tracker.observe(fields[k], k == 0 ? 0 : 100);
        EXPECT_EQ(tracker.recentLargest(), double(float(expected[k]))) << k;
    }
}

} // namespace
