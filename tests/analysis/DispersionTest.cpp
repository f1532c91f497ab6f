// The amplification of grid modes, the fast search for the extremes against a scan of every
// mode, and the classification of the start-up states.
#include "analysis/Prediction.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <random>

namespace {

using namespace rd::analysis;
using rd::Model;

TEST(Amplification, KnownMatrices)
{
    struct Case {
        ModeMatrix m;
        double rho;
        bool complex;
        double lowestReal;
    };
    const Case cases[] = {
        { { 2, 0, 0, -3 }, 3, false, -3 },
        { { 0.6, -0.8, 0.8, 0.6 }, 1, true, 0.6 },
        { { 1, 1, 0, 1 }, 1, false, 1 },
        { { 0, 2, 2, 0 }, 2, false, -2 },
    };
    for (const Case& c : cases) {
        const Amplification a = amplification(c.m);
        EXPECT_DOUBLE_EQ(a.rho, c.rho);
        EXPECT_EQ(a.complex, c.complex);
        EXPECT_DOUBLE_EQ(a.lowestReal(), c.lowestReal);
    }
}

TEST(ModeTable, EigenvaluesOfTheMirroredLine)
{
    EXPECT_EQ(lineEigenvalue(0, 5), 0.0);
    EXPECT_DOUBLE_EQ(lineEigenvalue(2, 5), -2.0);
    EXPECT_DOUBLE_EQ(lineEigenvalue(4, 5), -4.0);
    const ModeTable square(5, false);
    EXPECT_EQ(square.modes().size(), 15u); // pairs kx <= ky
    EXPECT_DOUBLE_EQ(square.modes().front().lambda, -8.0);
    EXPECT_EQ(square.modes().back().lambda, 0.0);
    EXPECT_DOUBLE_EQ(wavelengthOfEigenvalue(lineEigenvalue(3, 129)), 2.0 * 128 / 3);
}

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

TEST(Prediction, TuringBandHoldsTheFastestMode)
{
    const auto s = rdtest::setupFor(Model::GiererMeinhardt, true, 128).scheme;
    const ModeTable table(s.n, s.oneD);
    const Prediction p = predict(s, steadyStates(s).at(0), table);
    ASSERT_EQ(p.bands.size(), 1u);
    const double lambda = p.extremes.fastest.mode.lambda;
    EXPECT_GT(lambda, p.bands[0].lambdaLow);
    EXPECT_LT(lambda, p.bands[0].lambdaHigh);
    EXPECT_LT(p.bands[0].lambdaHigh, 0.0); // the uniform mode decays
    EXPECT_EQ(p.wavelength, 2.0 * 127 / p.extremes.fastest.mode.kx);
    EXPECT_DOUBLE_EQ(p.eFoldingSteps, 1.0 / std::log(p.extremes.fastest.growth.rho));
    // The growth factor at the band's ends is 1 (plus the tolerance).
    const Linearisation lin(s, p.state.jacobian);
    for (double end : { p.bands[0].lambdaLow, p.bands[0].lambdaHigh })
        EXPECT_NEAR(lin.growth(end).rho, 1.0 + kMarginalTolerance, 1e-12);
}

} // namespace
