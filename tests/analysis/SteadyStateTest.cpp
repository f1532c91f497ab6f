// Steady states against closed forms and the rates themselves; the Jacobian against
// difference quotients.
#include "tests/analysis/AnalysisTestSupport.h"

#include <cmath>

namespace {

using namespace rd::analysis;
using rd::Model;

struct ClosedForm {
    const char* kA;
    const char* kB;
};

class SchnakenbergStates : public testing::TestWithParam<ClosedForm> { };

TEST_P(SchnakenbergStates, AreThePlusBAndBOverItsSquare)
{
    const auto s = rdtest::setupFor(
        Model::Schnakenberg, false, 16, { { 5, GetParam().kA }, { 6, GetParam().kB } })
                       .scheme;
    const auto states = steadyStates(s);
    ASSERT_EQ(states.size(), 1u);
    const double a = s.kA, b = s.kB;
    EXPECT_EQ(states[0].u, a + b);
    EXPECT_EQ(states[0].v, b / ((a + b) * (a + b)));
}

INSTANTIATE_TEST_SUITE_P(Supplies, SchnakenbergStates,
    testing::Values(ClosedForm { "0.025", "1.55" }, ClosedForm { "0.1", "0.9" },
        ClosedForm { "0", "2" }, ClosedForm { "1.5", "0" }));

// The Oregonator's states are (0, 0) and the positive root of
// u^2 - (1 - kA - kB) u - kB (1 + kA) = 0; the code scans for them instead.
TEST(SteadyStates, OregonatorScanFindsTheQuadraticsRoots)
{
    for (const char* kA : { "1.0", "0.5", "3" }) {
        const auto s = rdtest::setupFor(Model::Oregonator, true, 16, { { 6, kA } }).scheme;
        const auto states = steadyStates(s);
        ASSERT_EQ(states.size(), 2u) << kA;
        const double c = 1.0 - s.kA - s.kB;
        const double root = (c + std::sqrt(c * c + 4.0 * s.kB * (1.0 + s.kA))) / 2.0;
        EXPECT_EQ(states[0].u, 0.0);
        EXPECT_EQ(states[0].v, 0.0);
        EXPECT_NEAR(states[1].u, root, 1e-14) << kA;
        EXPECT_EQ(states[1].v, states[1].u);
    }
}

struct StateCount {
    Model model;
    std::map<int, std::string> boxes;
    std::size_t count;
    int folds;
};

class StateCounts : public testing::TestWithParam<StateCount> { };

// Every state found is a zero of both rates, and none is missing or doubled.
TEST_P(StateCounts, FindsEveryStateOnce)
{
    const auto& p = GetParam();
    const auto s = rdtest::setupFor(p.model, false, 16, p.boxes).scheme;
    const auto states = steadyStates(s);
    ASSERT_EQ(states.size(), p.count);
    int folds = 0;
    for (const SteadyState& st : states) {
        const Rates r = unscaledRates(s, st.u, st.v);
        EXPECT_NEAR(r.f, 0.0, 1e-12) << st.u;
        EXPECT_NEAR(r.g, 0.0, 1e-12) << st.u;
        folds += st.fold;
    }
    EXPECT_EQ(folds, p.folds);
}

INSTANTIATE_TEST_SUITE_P(Models, StateCounts,
    testing::Values(StateCount { Model::GiererMeinhardt, {}, 1, 0 },
        // Without production u = 0 is a state too, and the saturation gives two more.
        StateCount { Model::GiererMeinhardt, { { 5, "0" }, { 6, "0.5" }, { 7, "0.5" } }, 3, 0 },
        // The start-up point is a fold in decimal: two states 6e-5 apart in single precision.
        StateCount { Model::GrayScott, {}, 3, 2 },
        StateCount { Model::GrayScott, { { 5, "0.02" }, { 6, "0.05" } }, 3, 0 },
        StateCount { Model::GrayScott, { { 5, "0.04" }, { 6, "0.08" } }, 1, 0 },
        // Poles (GM: saturation 0 at u = 2; Oregonator: u + kB = 0 at 0.37) change sign but are
        // no states.
        StateCount { Model::GiererMeinhardt, { { 7, "-0.25" } }, 2, 0 },
        StateCount { Model::Oregonator, { { 7, "-0.37" } }, 1, 0 }));

// The analytic derivatives against central difference quotients at states and off them.
TEST(Jacobian, MatchesDifferenceQuotients)
{
    for (Model m :
        { Model::GiererMeinhardt, Model::Schnakenberg, Model::GrayScott, Model::Oregonator }) {
        const auto s = rdtest::setupFor(m, false, 16).scheme;
        for (const auto& [u, v] : { std::pair { 0.3, 0.7 }, std::pair { 1.2, 0.05 } }) {
            const double h = 1e-6;
            const Jacobian j = jacobianAt(s, u, v);
            const Rates du0 = unscaledRates(s, u - h, v), du1 = unscaledRates(s, u + h, v);
            const Rates dv0 = unscaledRates(s, u, v - h), dv1 = unscaledRates(s, u, v + h);
            const double tol = 1e-6;
            EXPECT_NEAR(j.fu, (du1.f - du0.f) / (2 * h), tol) << int(m);
            EXPECT_NEAR(j.gu, (du1.g - du0.g) / (2 * h), tol) << int(m);
            EXPECT_NEAR(j.fv, (dv1.f - dv0.f) / (2 * h), tol) << int(m);
            EXPECT_NEAR(j.gv, (dv1.g - dv0.g) / (2 * h), tol) << int(m);
        }
    }
}

} // namespace
