// The fast search for the extremes against a scan of every mode, and the classification of the
// start-up states. The amplification itself is checked against the engine (EngineAgreementTest).
#include "analysis/Prediction.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <random>

namespace {

using namespace rd::analysis;
using rd::Model;

// Random linearisations, including unstable and numerically unstable ones: the search next
// to the break points must find exactly what a scan of every mode finds.
TEST(GridExtremes, FastSearchEqualsScanOfEveryMode)
{
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> entry(-3.0, 3.0), diff(0.0, 0.35), gain(0.0, 0.05);
    int differing = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        Scheme s;
        s.oneD = trial % 2 == 0;
        s.n = 2 + trial % 129;
        // Equal and zero diffusion numbers drop some of the break points.
        s.cu = trial % 11 == 0 ? 0.0 : diff(rng);
        s.cv = trial % 7 == 0 ? s.cu : trial % 13 == 0 ? 0.0 : diff(rng);
        s.su = 1.0 - s.neighbours() * s.cu;
        s.sv = 1.0 - s.neighbours() * s.cv;
        s.gainU = gain(rng);
        s.gainV = gain(rng);
        const Jacobian j { entry(rng), entry(rng), entry(rng), entry(rng) };
        const Linearisation lin(s, j);
        const ModeTable table(s.n, s.oneD);
        const Extremes fast = gridExtremes(lin, table);
        const Extremes scan = gridExtremesByScan(lin, table);
        ASSERT_EQ(fast.fastest.growth.rho, scan.fastest.growth.rho) << trial;
        ASSERT_EQ(fast.lowestReal, scan.lowestReal) << trial;
        const ContinuousMaximum c = continuousMaximum(lin, s.lambdaMin());
        ASSERT_GE(c.rho, scan.fastest.growth.rho) << trial;
        differing += fast.fastest.mode.lambda != scan.fastest.mode.lambda;
    }
    EXPECT_EQ(differing, 0);
}

struct ClassCase {
    Model model;
    bool oneD;
    std::map<int, std::string> boxes;
    std::vector<StateClass> classes; // one per state, ascending in u
};

class Classes : public testing::TestWithParam<ClassCase> { };

TEST_P(Classes, OfEveryState)
{
    const auto& p = GetParam();
    const auto s = rdtest::setupFor(p.model, p.oneD, 128, p.boxes).scheme;
    const ModeTable table(s.n, s.oneD);
    std::vector<StateClass> got;
    for (const SteadyState& st : steadyStates(s))
        got.push_back(predict(s, st, table).kind);
    EXPECT_EQ(got, p.classes);
}

using enum StateClass;
INSTANTIATE_TEST_SUITE_P(StartUpAndEdges, Classes,
    testing::Values(ClassCase { Model::GiererMeinhardt, false, {}, { TuringUnstable } },
        ClassCase { Model::Schnakenberg, true, {}, { TuringUnstable } },
        ClassCase { Model::GrayScott, false, {}, { Stable, Marginal, Marginal } },
        ClassCase { Model::Oregonator, false, {}, { UniformlyUnstable, UniformlyUnstable } },
        // Equal diffusion: no Turing instability, the uniform state holds.
        ClassCase { Model::GiererMeinhardt, false, { { 4, "1" } }, { Stable } },
        // Dv = 30: cv = 0.3 is too large for the 2D step, not for the 1D one.
        ClassCase { Model::GiererMeinhardt, false, { { 4, "30" } }, { NumericallyUnstable } },
        ClassCase { Model::GiererMeinhardt, true, { { 4, "30" } }, { TuringUnstable } },
        // Small supply: the uniform Schnakenberg state oscillates.
        ClassCase { Model::Schnakenberg, false, { { 5, "0.1" }, { 6, "0.2" } }, { Oscillatory } }));

} // namespace
