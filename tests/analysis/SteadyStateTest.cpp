// Steady states against the rates themselves: every state found, and each once. The Jacobian
// is checked through the growth the engine shows (EngineAgreementTest).
#include "tests/analysis/AnalysisTestSupport.h"

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

} // namespace
