// The run state and the flatness of real runs of the engine, checked every 100 steps as a
// watched run of the batch tool is: a whole-field oscillation and travelling waves oscillate;
// a labyrinth still growing and spots still dividing are still changing, however their mean
// wavers; a field settled on a uniform state is flat, its rounding no pattern, and at the
// featured state.
#include "analysis/FeaturedState.h"
#include "analysis/FieldMeasurement.h"
#include "analysis/RunTracker.h"
#include "engine/FieldInit.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace rd::analysis;
using rd::Model;

constexpr int kCheckEvery = 100; // as the batch tool's watch

enum class Start {
    Random, // the window's Random, seed 12345 or as given
    Seeded, // Gray-Scott's (0, 1) with a centred square of u = 0.25, v = 0.5
    ReadmeSquares, // the README's sweep start: twelve 6 x 6 squares of u = 0.5, v = 0.25
};

void initialise(rd::SimState& s, Start start, std::uint64_t seed)
{
    rd::UniformSource rng(seed);
    switch (start) {
    case Start::Random:
        rd::fillRandom(s, false, rng);
        break;
    case Start::Seeded:
        rd::fillSeeded(s, false, { 0.0, 1.0, 0.25, 0.5 }, rng);
        break;
    case Start::ReadmeSquares: {
        // The (row, column) centres numpy's default_rng(1).integers(10, 118, (12, 2)) draws.
        static constexpr int centres[12][2]
            = { { 61, 65 }, { 91, 112 }, { 13, 25 }, { 98, 112 }, { 36, 43 }, { 103, 55 },
                  { 39, 99 }, { 37, 54 }, { 79, 69 }, { 19, 12 }, { 103, 91 }, { 100, 68 } };
        const auto n = static_cast<std::size_t>(s.nCells);
        std::fill_n(s.uA.begin(), n * n, 0.0f);
        std::fill_n(s.vA.begin(), n * n, 1.0f);
        for (const auto& [y, x] : centres)
            for (int j = y - 3; j < y + 3; ++j)
                for (int i = x - 3; i < x + 3; ++i) {
                    s.uA[std::size_t(j) * n + std::size_t(i)] = 0.5f;
                    s.vA[std::size_t(j) * n + std::size_t(i)] = 0.25f;
                }
        break;
    }
    }
}

// A 2D run fed to a tracker every 100 steps.
struct WatchedRun {
    rdtest::Setup setup;
    RunTracker tracker;
    int steps = 0;

    WatchedRun(Model model, int n, const std::map<int, std::string>& boxes, Start start,
        std::uint64_t seed)
        : setup(rdtest::setupFor(model, false, n, boxes))
        , tracker(setup.state.uMax)
        , model_(model)
    {
        initialise(setup.state, start, seed);
        tracker.observe(u(), 0);
    }
    std::span<const float> u() const { return rd::currentU(setup.state, rd::Dimension::Two); }
    std::span<const float> v() const { return rd::currentV(setup.state, rd::Dimension::Two); }
    void runTo(int until)
    {
        for (; steps < until; ++steps) {
            rd::step(setup.state, model_, rd::Dimension::Two);
            if ((steps + 1) % kCheckEvery == 0)
                tracker.observe(u(), kCheckEvery);
        }
    }

private:
    Model model_;
};

struct RealRun {
    const char* name;
    Model model;
    int n;
    std::map<int, std::string> boxes;
    Start start;
    int steps;
    RunState state;
    bool flat;
    int nearest = -1; // the featured state of a bistable point the field ends at, if any
};

class RealRuns : public testing::TestWithParam<RealRun> { };

TEST_P(RealRuns, EndInTheirStateAndShowAWavelengthOnlyWhenPatterned)
{
    const RealRun& c = GetParam();
    WatchedRun run(c.model, c.n, c.boxes, c.start, 1);
    run.runTo(c.steps);
    EXPECT_EQ(run.tracker.state(), c.state) << runStateName(run.tracker.state());
    const Measurement m = measureField(run.u(), c.n, false, run.tracker.recentLargest());
    EXPECT_EQ(m.flat, c.flat) << "contrast " << m.contrast << ", floor " << m.flatFloor;
    EXPECT_EQ(std::isinf(m.wavelength), c.flat) << m.wavelength;
    if (c.nearest >= 0) {
        const auto ps = rdtest::predictions(run.setup.scheme);
        const FeaturedStates f = featuredStates(ps);
        ASSERT_EQ(f.kind, PointClass::Bistable);
        const NearestState near = nearestFeatured(ps, f, fieldMean(run.u()), fieldMean(run.v()));
        EXPECT_EQ(near.index, c.nearest);
        EXPECT_LT(near.distance, 1e-5);
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, RealRuns,
    testing::Values(
        // Rings that the centre sends out every 600 steps or so.
        RealRun { "GrayScottWaves", Model::GrayScott, 64, { { 5, "0.0179" }, { 6, "0.0476" } },
            Start::Seeded, 10000, RunState::Oscillating, false },
        // The README's sweep at kA = 0.035: the labyrinth grows, its mean rises with reversals.
        RealRun { "ReadmeLabyrinth", Model::GrayScott, 128, { { 5, "0.035" }, { 6, "0.062" } },
            Start::ReadmeSquares, 10000, RunState::StillChanging, false },
        // The README's seeded spots, still dividing to fill the field.
        RealRun { "ReadmeDividingSpots", Model::GrayScott, 128,
            { { 0, "0.4" }, { 5, "0.03" }, { 6, "0.062" } }, Start::Seeded, 10000,
            RunState::StillChanging, false },
        // Settled on the stable focus of a bistable point: 100 ulps of rounding spread, the
        // noisiest flat field of the maps, which the cut-off 1e-6 times u took for a pattern.
        // The focus, u = 0.258, is the state it ended at: not (0, 1), and never the saddle.
        RealRun { "GrayScottFocus", Model::GrayScott, 64, { { 5, "0.046" }, { 6, "0.0594" } },
            Start::Seeded, 12000, RunState::Converged, true, 2 },
        RealRun { "GrayScottDiesOut", Model::GrayScott, 32, {}, Start::Random, 4000,
            RunState::Extinct, true }),
    [](const testing::TestParamInfo<RealRun>& info) { return std::string(info.param.name); });

// The Oregonator's field spikes as a whole every 5000 steps or so; between spikes u is exactly
// 0 at some checks and changes by less than the converged tolerance at others. Neither is an
// end: the run oscillates throughout, and its field, uniform but for the rounding of the
// spike, is flat.
TEST(RealRuns, TheOregonatorOscillatesThroughItsQuietSpells)
{
    WatchedRun run(Model::Oregonator, 64, {}, Start::Random, 12345);
    run.runTo(16300);
    const auto u = run.u();
    ASSERT_EQ(*std::max_element(u.begin(), u.end()), 0.0f);
    EXPECT_EQ(run.tracker.state(), RunState::Oscillating);
    run.runTo(19000);
    ASSERT_LT(run.tracker.lastChangePerStep(), 1e-7 * run.setup.state.uMax);
    EXPECT_EQ(run.tracker.state(), RunState::Oscillating);
    EXPECT_FALSE(run.tracker.settled());
    run.runTo(20000);
    EXPECT_EQ(run.tracker.state(), RunState::Oscillating);
    const Measurement m = measureField(run.u(), 64, false, run.tracker.recentLargest());
    EXPECT_TRUE(m.flat) << "contrast " << m.contrast << ", floor " << m.flatFloor;
    EXPECT_TRUE(std::isinf(m.wavelength));
}

} // namespace
