// Whole runs from the window's Random start: the pattern's measured wavelength beside the
// predicted one, and the run states where no pattern forms.
#include "analysis/FieldMeasurement.h"
#include "analysis/Prediction.h"
#include "analysis/RunTracker.h"
#include "engine/FieldInit.h"
#include "tests/analysis/AnalysisTestSupport.h"

namespace {

using namespace rd::analysis;
using rd::Model;

struct PatternCase {
    Model model;
    bool oneD;
};

class Patterns : public testing::TestWithParam<PatternCase> { };

TEST_P(Patterns, FormAtThePredictedWavelength)
{
    const auto& c = GetParam();
    rdtest::Setup setup = rdtest::setupFor(c.model, c.oneD, 128);
    const ModeTable table(128, c.oneD);
    const Prediction p = predict(setup.scheme, steadyStates(setup.scheme).at(0), table);
    ASSERT_EQ(p.kind, StateClass::TuringUnstable);

    rd::UniformSource rng(12345);
    rd::fillRandom(setup.state, c.oneD, rng);
    rdtest::run(setup.state, c.model, c.oneD, 20000);
    const Measurement m = measureField(rdtest::uOf(setup.state, c.oneD), 128, c.oneD);
    EXPECT_GT(m.contrast, 0.1);
    EXPECT_NEAR(m.wavelength, p.wavelength, 0.1 * p.wavelength)
        << "predicted " << p.wavelength << ", measured " << m.wavelength;
}

INSTANTIATE_TEST_SUITE_P(StartUp, Patterns,
    testing::Values(PatternCase { Model::GiererMeinhardt, false },
        PatternCase { Model::GiererMeinhardt, true }, PatternCase { Model::Schnakenberg, false },
        PatternCase { Model::Schnakenberg, true }));

RunState trackedRun(Model model, bool oneD, int n, int steps, int every,
    const std::map<int, std::string>& boxes = {})
{
    rdtest::Setup setup = rdtest::setupFor(model, oneD, n, boxes);
    rd::UniformSource rng(7);
    rd::fillRandom(setup.state, oneD, rng);
    RunTracker tracker(setup.state.uMax);
    tracker.observe(rdtest::uOf(setup.state, oneD), 0);
    for (int done = 0; done < steps; done += every) {
        rdtest::run(setup.state, model, oneD, every);
        tracker.observe(rdtest::uOf(setup.state, oneD), every);
    }
    return tracker.state();
}

TEST(RunStates, OfTheStartUpRunsWithoutPattern)
{
    EXPECT_EQ(trackedRun(Model::GrayScott, false, 64, 4000, 100), RunState::Extinct);
    EXPECT_EQ(trackedRun(Model::Oregonator, true, 64, 20000, 100), RunState::Oscillating);
    // A stable uniform state: equal diffusion in Gierer-Meinhardt settles.
    EXPECT_EQ(trackedRun(Model::GiererMeinhardt, true, 32, 60000, 500, { { 4, "1" } }),
        RunState::Converged);
}

TEST(RunStates, AnArithmeticErrorAndAStillChangingField)
{
    RunTracker t(1.0);
    const std::vector<float> a(8, 0.5f), b(8, 0.6f);
    t.observe(a, 0);
    t.observe(b, 10);
    EXPECT_EQ(t.state(), RunState::StillChanging);
    EXPECT_FLOAT_EQ(t.lastChangePerStep(), 0.01f);
    t.arithmeticError();
    EXPECT_EQ(t.state(), RunState::ArithmeticError);
}

} // namespace
