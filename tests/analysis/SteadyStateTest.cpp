// Steady states against the rates themselves: every state found, and each once. The Jacobian
// is checked through the growth the engine shows (EngineAgreementTest).
#include "analysis/SteadyStates.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <cmath>

namespace {

using namespace rd::analysis;
using rd::Model;

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
        StateCount { Model::Oregonator, { { 7, "-0.37" } }, 1, 0 },
        StateCount { Model::Oregonator, { { 6, "3" } }, 2, 0 },
        StateCount { Model::Schnakenberg, {}, 1, 0 },
        StateCount { Model::Schnakenberg, { { 5, "0" }, { 6, "2" } }, 1, 0 }));

struct SettleCase {
    std::string name;
    std::map<int, std::string> boxes; // of the Oregonator
    std::vector<StateCandidate> candidates;
    std::vector<double> us; // the states kept, ascending
    std::vector<bool> folds;
};

void PrintTo(const SettleCase& c, std::ostream* os)
{
    *os << c.name;
}

class Settle : public testing::TestWithParam<SettleCase> { };

TEST_P(Settle, KeepsStatesInOrderAndMarksFolds)
{
    const SettleCase& c = GetParam();
    const Scheme s = rdtest::setupFor(rd::Model::Oregonator, false, 16, c.boxes).scheme;
    const SteadyStateList list = settleStates(s, c.candidates);
    std::vector<double> us;
    std::vector<bool> folds;
    for (const SteadyState& st : list) {
        us.push_back(st.u);
        folds.push_back(st.fold);
    }
    EXPECT_EQ(us, c.us);
    EXPECT_EQ(folds, c.folds);
}

// Candidates at the Oregonator's start-up point (kA = 1, kB = 8e-4) unless boxes say else.
INSTANTIATE_TEST_SUITE_P(Candidates, Settle,
    testing::Values(SettleCase { "SortedAscending", {}, { { 0.5, 0.5 }, { 0, 0 }, { 0.25, 0.25 } },
                        { 0, 0.25, 0.5 }, { false, false, false } },
        // A double root is a fold whatever the rounding of its Jacobian says.
        SettleCase { "MultipleRootIsAFold", {}, { { 0.5, 0.5, true }, { 0, 0 } }, { 0, 0.5 },
            { false, true } },
        SettleCase { "CloseStatesAreAFold", {},
            { { 0.5, 0.5 }, { 0.50001, 0.50001 }, { 0.6, 0.6 } }, { 0.5, 0.50001, 0.6 },
            { true, true, false } },
        // Negative, non-finite, and at the pole u = -kB (where the rate is 0 / 0).
        SettleCase { "OnlyRealStates", { { 7, "-0.37" } },
            { { -0.1, -0.1 }, { NAN, NAN }, { INFINITY, INFINITY }, { 0.37f, 0.37f },
                { 0.3, 0.3 } },
            { 0.3 }, { false } }),
    [](const testing::TestParamInfo<SettleCase>& info) { return info.param.name; });

} // namespace
