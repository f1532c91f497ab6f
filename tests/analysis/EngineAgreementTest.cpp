// The prediction against the engine itself: a small perturbation of a steady state along one
// grid mode's dominant eigenvector, stepped by the engine, grows or decays per step by the
// mode's predicted factor.
#include "analysis/Prediction.h"
#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/analysis/ModeGrowth.h"

namespace {

using namespace rd::analysis;
using rd::Model;

struct AgreementCase {
    Model model;
    bool oneD;
    int n;
    std::size_t state; // index in steadyStates()
};

std::string caseName(const testing::TestParamInfo<AgreementCase>& info)
{
    static const char* names[] = { "GiererMeinhardt", "Schnakenberg", "GrayScott", "Oregonator" };
    return std::string(names[static_cast<int>(info.param.model)]) + (info.param.oneD ? "1D" : "2D");
}

class EngineAgreement : public testing::TestWithParam<AgreementCase> { };

TEST_P(EngineAgreement, FastestAndShortestModesGrowByThePredictedFactor)
{
    const auto& c = GetParam();
    rdtest::Setup setup = rdtest::setupFor(c.model, c.oneD, c.n);
    const Scheme& s = setup.scheme;
    const SteadyState st = steadyStates(s).at(c.state);
    const int checked = rdtest::checkModesGrowAsPredicted(s, st, setup.state,
        [&](rd::SimState& state, int steps) { rdtest::run(state, c.model, c.oneD, steps); });
    EXPECT_GE(checked, 1);
}

INSTANTIATE_TEST_SUITE_P(Models, EngineAgreement,
    testing::Values(AgreementCase { Model::GiererMeinhardt, false, 32, 0 },
        AgreementCase { Model::GiererMeinhardt, true, 64, 0 },
        AgreementCase { Model::Schnakenberg, false, 32, 0 },
        AgreementCase { Model::Schnakenberg, true, 64, 0 },
        AgreementCase { Model::GrayScott, false, 32, 1 },
        AgreementCase { Model::GrayScott, true, 64, 2 },
        AgreementCase { Model::Oregonator, false, 32, 1 },
        AgreementCase { Model::Oregonator, true, 64, 1 }),
    caseName);

} // namespace
