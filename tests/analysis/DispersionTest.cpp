// The fast search for the extremes against a scan of every mode. The amplification itself is
// checked against the engine (EngineAgreementTest), the classes of states by StabilityTest.
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

} // namespace
