// The typed prediction against the typed step itself: a small perturbation of a uniform state
// along a grid mode's dominant eigenvector, stepped by the engine, grows or decays per step by
// the mode's predicted factor. This ties the derivatives and the rates' scaling (both by the
// scaling factor, after rounding to single) to what the program really does.
#include "analysis/Prediction.h"
#include "engine/TypedStep.h"
#include "tests/analysis/TypedAnalysisSupport.h"

#include <cmath>
#include <numbers>

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

// Projection of (du, dv) onto the mode shape (eu c, ev c).
double amplitude(const rd::SimState& p, const rd::SimState& base, bool oneD,
    const std::vector<double>& shape, double eu, double ev)
{
    const rd::Dimension dim = rd::dimensionOf(oneD);
    const auto pu = rd::currentU(p, dim), pv = rd::currentV(p, dim);
    const auto bu = rd::currentU(base, dim), bv = rd::currentV(base, dim);
    double num = 0, den = 0;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        num += (double(pu[i]) - bu[i]) * eu * shape[i] + (double(pv[i]) - bv[i]) * ev * shape[i];
        den += (eu * eu + ev * ev) * shape[i] * shape[i];
    }
    return num / den;
}

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
    const Linearisation lin(s, st.jacobian);
    const Prediction pred = predict(s, st, table);
    ASSERT_EQ(pred.kind, StateClass::TuringUnstable); // each file's point makes patterns

    int checked = 0;
    for (const GridMode& mode : { pred.extremes.fastest.mode, table.modes().front() }) {
        const ModeMatrix m = lin.at(mode.lambda);
        const Amplification g = amplification(m);
        if (g.complex)
            continue;
        const double mu = std::abs(g.high) >= std::abs(g.low) ? g.high : g.low;
        double eu = m.b, ev = mu - m.a; // the eigenvector of mu
        if (std::abs(eu) + std::abs(ev) < 1e-12) {
            eu = mu - m.d;
            ev = m.c;
        }
        const double norm = std::hypot(eu, ev);
        eu /= norm;
        ev /= norm;
        // Few enough steps that the perturbation stays small and linear.
        const int steps
            = std::clamp(int(std::log(1000.0) / std::abs(std::log(std::abs(mu)))), 20, 100) & ~1;
        const double eps = 1e-2 * std::max({ std::abs(st.u), std::abs(st.v), 0.1 })
            / std::max(1.0, std::pow(std::abs(mu), steps));

        const int rows = c.oneD ? 1 : c.n;
        std::vector<double> shape;
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < c.n; ++i)
                shape.push_back(std::cos(std::numbers::pi * mode.kx * i / (c.n - 1))
                    * std::cos(std::numbers::pi * mode.ky * j / (c.n - 1)));
        rd::SimState base = start, perturbed = start;
        for (std::size_t k = 0; k < shape.size(); ++k) {
            base.uA[k] = static_cast<float>(st.u);
            base.vA[k] = static_cast<float>(st.v);
            perturbed.uA[k] = static_cast<float>(st.u + eps * eu * shape[k]);
            perturbed.vA[k] = static_cast<float>(st.v + eps * ev * shape[k]);
        }
        // The unperturbed run takes away the drift of the single-precision state.
        const double a0 = amplitude(perturbed, base, c.oneD, shape, eu, ev);
        for (int i = 0; i < steps; ++i) {
            rd::step(base, model, rd::dimensionOf(c.oneD));
            rd::step(perturbed, model, rd::dimensionOf(c.oneD));
        }
        const double a1 = amplitude(perturbed, base, c.oneD, shape, eu, ev);
        const double measured = std::pow(std::abs(a1 / a0), 1.0 / steps);
        EXPECT_NEAR(measured - 1.0, std::abs(mu) - 1.0, 0.01 * std::abs(std::abs(mu) - 1.0))
            << "mode (" << mode.kx << ", " << mode.ky << "), " << steps << " steps";
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

INSTANTIATE_TEST_SUITE_P(Shipped, TypedEngineAgreement,
    testing::Values(AgreementCase { "brusselator.toml", false, 32 },
        AgreementCase { "brusselator.toml", true, 64 },
        AgreementCase { "fitzhugh-nagumo.toml", false, 32 },
        AgreementCase { "lengyel-epstein.toml", true, 64 },
        AgreementCase { "schnakenberg.toml", false, 32 }));

} // namespace
