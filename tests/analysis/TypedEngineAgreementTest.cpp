// The typed prediction against the typed step itself: a small perturbation of a uniform state
// along a grid mode's dominant eigenvector, stepped by the engine, grows or decays per step by
// the mode's predicted factor. This ties the derivatives and the rates' scaling (both by the
// scaling factor, after rounding to single) to what the program really does.
#include "analysis/Prediction.h"
#include "engine/TypedStep.h"
#include "tests/analysis/ModeGrowth.h"
#include "tests/analysis/TypedAnalysisSupport.h"

namespace {

using namespace rd::analysis;

struct AgreementCase {
    const char* file;
    bool oneD;
    int n;
};

void PrintTo(const AgreementCase& c, std::ostream* os)
{
    *os << c.file << (c.oneD ? " 1D" : " 2D");
}

class TypedEngineAgreement : public testing::TestWithParam<AgreementCase> { };

TEST_P(TypedEngineAgreement, FastestAndShortestModesGrowByThePredictedFactor)
{
    const AgreementCase& c = GetParam();
    const rd::ModelDescription d = rdtest::shippedDescription(c.file);
    const rd::TypedModel model = rdtest::typedModel(d);
    const rd::SimState start = rdtest::typedState(d, c.oneD ? 1 : 2, c.n);
    const Scheme s = schemeFromState(model, c.oneD, start, d.bounds);
    const ModeTable table(s.n, s.oneD);
    const auto states = steadyStates(s);
    ASSERT_EQ(states.size(), 1u);
    const SteadyState st = states[0];
    ASSERT_EQ(predict(s, st, table).kind, StateClass::TuringUnstable); // each file's makes patterns
    const int checked
        = rdtest::checkModesGrowAsPredicted(s, st, start, [&](rd::SimState& state, int steps) {
              for (int k = 0; k < steps; ++k)
                  rd::step(state, model, rd::dimensionOf(c.oneD));
          });
    EXPECT_GE(checked, 1);
}

INSTANTIATE_TEST_SUITE_P(Shipped, TypedEngineAgreement,
    testing::Values(AgreementCase { "brusselator.toml", false, 32 },
        AgreementCase { "brusselator.toml", true, 64 },
        AgreementCase { "fitzhugh-nagumo.toml", false, 32 },
        AgreementCase { "lengyel-epstein.toml", true, 64 },
        AgreementCase { "schnakenberg.toml", false, 32 }));

} // namespace
