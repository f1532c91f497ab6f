// The state an analysis features: the parameter maps' precedence with saddles aside, against
// Gray-Scott's states derived by hand and on hand-made sets of states; and the featured state a
// run ended nearest to. Known points of every model and the agreement with the maps' own
// classifier on random points are StabilityTest's.
#include "analysis/FeaturedState.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <algorithm>
#include <vector>

namespace {

using namespace rd::analysis;
using rd::Model;

std::vector<int> listed(const FeaturedStates& f)
{
    return { f.index.begin(), f.index.begin() + f.count };
}

struct GrayScottPoint {
    const char* feed; // kA: F
    const char* kill; // kB: k
};

class GrayScottByHand : public testing::TestWithParam<GrayScottPoint> { };

// u' = u^2 v - (F + k) u, v' = F (1 - v) - u^2 v. Besides (0, 1): u v = F + k, so
// F (1 - v) = (F + k) u and v^2 - v + (F + k)^2 / F = 0. At those states the Jacobian is
// [[F + k, u^2], [-2 (F + k), -u^2 - F]], of determinant (F + k)(u^2 - F): a saddle when
// u^2 < F, the state of smaller u. The other has trace k - u^2 < 0 at both points below and a
// positive determinant: its uniform mode decays, and with Du = cu, Dv = cv no mode grows while
// cv (F + k) + cu (-u^2 - F) < 2 sqrt(cu cv det). At (0, 1) the Jacobian is diag(-(F + k), -F).
TEST_P(GrayScottByHand, FeaturesTheStableStatesNotTheSaddle)
{
    const GrayScottPoint& p = GetParam();
    const auto setup
        = rdtest::setupFor(Model::GrayScott, false, 128, { { 5, p.feed }, { 6, p.kill } });
    const double F = setup.state.kA, k = setup.state.kB;
    const double cu = setup.scheme.cu, cv = setup.scheme.cv;
    const double root = std::sqrt(1.0 - 4.0 * (F + k) * (F + k) / F);
    const double vSaddle = 0.5 * (1.0 + root), vNode = 0.5 * (1.0 - root);
    const double uSaddle = (F + k) / vSaddle, uNode = (F + k) / vNode;
    ASSERT_LT(uSaddle * uSaddle, F);
    ASSERT_GT(uNode * uNode, F);
    const double detNode = (F + k) * (uNode * uNode - F);
    ASSERT_LT(k - uNode * uNode, 0.0);
    ASSERT_LT(cv * (F + k) - cu * (uNode * uNode + F), 2.0 * std::sqrt(cu * cv * detNode));

    const auto ps = rdtest::predictions(setup.scheme);
    ASSERT_EQ(ps.size(), 3u);
    const double expected[3][2] = { { 0.0, 1.0 }, { uSaddle, vSaddle }, { uNode, vNode } };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(ps[i].state.u, expected[i][0], 1e-12) << i;
        EXPECT_NEAR(ps[i].state.v, expected[i][1], 1e-12) << i;
        EXPECT_EQ(isSaddle(ps[i].state), i == 1) << i;
        EXPECT_EQ(ps[i].kind, i == 1 ? StateClass::UniformlyUnstable : StateClass::Stable) << i;
    }

    // Two stable states beside the saddle: bistable, the node first, the saddle not at all.
    const FeaturedStates f = featuredStates(ps);
    EXPECT_EQ(f.kind, PointClass::Bistable);
    EXPECT_EQ(listed(f), (std::vector<int> { 2, 0 }));
    EXPECT_FALSE(f.contains(1));

    // A field at either stable state ended nearest to it; one at the saddle ends nearest to a
    // stable state, never to the saddle.
    EXPECT_EQ(nearestFeatured(ps, f, uNode, vNode).index, 2);
    EXPECT_EQ(nearestFeatured(ps, f, ps[2].state.u, ps[2].state.v).distance, 0.0);
    EXPECT_EQ(nearestFeatured(ps, f, 0.0, 1.0).index, 0);
    EXPECT_NE(nearestFeatured(ps, f, uSaddle, vSaddle).index, 1);
}

INSTANTIATE_TEST_SUITE_P(FeaturedState, GrayScottByHand,
    testing::Values(GrayScottPoint { "0.080", "0.050" }, GrayScottPoint { "0.046", "0.0594" }),
    [](const testing::TestParamInfo<GrayScottPoint>& info) {
        std::string name = std::string("F") + info.param.feed + "k" + info.param.kill;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

struct VerdictCase {
    const char* name;
    std::vector<StateVerdict> states;
    PointClass kind;
    std::vector<int> featured;
};

class Verdicts : public testing::TestWithParam<VerdictCase> { };

TEST_P(Verdicts, GiveTheClassAndItsStatesInOrder)
{
    const VerdictCase& c = GetParam();
    const FeaturedStates f = featuredStates(c.states);
    EXPECT_EQ(f.kind, c.kind) << pointClassWord(f.kind);
    EXPECT_EQ(listed(f), c.featured);
    EXPECT_EQ(f.first(), c.featured.empty() ? -1 : c.featured.front());
}

using enum StateClass;
INSTANTIATE_TEST_SUITE_P(FeaturedState, Verdicts,
    testing::Values(VerdictCase { "NoState", {}, PointClass::NoState, {} },
        VerdictCase { "OnlySaddlesDecide",
            { { UniformlyUnstable, true, 1.2, 0.0 }, { UniformlyUnstable, true, 1.1, 0.3 } },
            PointClass::UniformlyUnstable, { 1, 0 } },
        VerdictCase { "ATuringSaddleIsLeftAside",
            { { TuringUnstable, true, 1.01, 0.2 }, { Stable, false, 0.9, 0.5 } },
            PointClass::Stable, { 1 } },
        VerdictCase { "FastestTuringFirst",
            { { TuringUnstable, false, 1.001, 0.5 }, { TuringUnstable, false, 1.003, 0.7 } },
            PointClass::TuringUnstable, { 1, 0 } },
        VerdictCase { "EqualTuringKeepOrder",
            { { TuringUnstable, false, 1.002, 0.0 }, { TuringUnstable, false, 1.002, 0.7 } },
            PointClass::TuringUnstable, { 0, 1 } },
        VerdictCase { "NumericallyUnstableBeforeTuring",
            { { TuringUnstable, false, 1.002, 0.5 }, { NumericallyUnstable, false, 3.0, 0.7 } },
            PointClass::NumericallyUnstable, { 1 } },
        VerdictCase { "BistableAwayFromZeroFirst",
            { { Stable, false, 0.9, 0.0 }, { UniformlyUnstable, true, 1.05, 0.2 },
                { Stable, false, 0.95, 0.4 } },
            PointClass::Bistable, { 2, 0 } },
        VerdictCase { "MarginalAfterOneStable",
            { { Stable, false, 0.9, 0.0 }, { Marginal, false, 1.0, 0.2 } }, PointClass::Marginal,
            { 1 } }),
    [](const testing::TestParamInfo<VerdictCase>& info) { return std::string(info.param.name); });

TEST(FeaturedState, FieldMean)
{
    const std::vector<float> field { 0.25f, 0.75f, 0.5f, 0.5f };
    EXPECT_EQ(fieldMean(field), 0.5);
    EXPECT_TRUE(std::isnan(fieldMean({})));
}

} // namespace
