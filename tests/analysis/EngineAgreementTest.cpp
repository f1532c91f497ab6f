// The prediction against the engine itself: a small perturbation of a steady state along one
// grid mode's dominant eigenvector, stepped by the engine, grows or decays per step by the
// mode's predicted factor.
#include "analysis/Prediction.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <cmath>
#include <numbers>

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

TEST_P(EngineAgreement, FastestAndShortestModesGrowByThePredictedFactor)
{
    const auto& c = GetParam();
    rdtest::Setup setup = rdtest::setupFor(c.model, c.oneD, c.n);
    const Scheme& s = setup.scheme;
    const ModeTable table(s.n, s.oneD);
    const SteadyState st = steadyStates(s).at(c.state);
    const Linearisation lin(s, st.jacobian);
    const Prediction pred = predict(s, st, table);

    int checked = 0;
    for (const GridMode& mode : { pred.extremes.fastest.mode, table.modes().front() }) {
        const ModeMatrix m = lin.at(mode.lambda);
        const Amplification g = amplification(m);
        if (g.complex)
            continue;
        const double mu = std::abs(g.high) >= std::abs(g.low) ? g.high : g.low;
        // The eigenvector of mu.
        double eu = m.b, ev = mu - m.a;
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
        const double eps
            = 1e-2 * std::max(st.u, st.v) / std::max(1.0, std::pow(std::abs(mu), steps));

        const int rows = c.oneD ? 1 : c.n;
        std::vector<double> shape;
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < c.n; ++i)
                shape.push_back(std::cos(std::numbers::pi * mode.kx * i / (c.n - 1))
                    * std::cos(std::numbers::pi * mode.ky * j / (c.n - 1)));
        rd::SimState base = setup.state, perturbed = setup.state;
        for (std::size_t k = 0; k < shape.size(); ++k) {
            base.uA[k] = static_cast<float>(st.u);
            base.vA[k] = static_cast<float>(st.v);
            perturbed.uA[k] = static_cast<float>(st.u + eps * eu * shape[k]);
            perturbed.vA[k] = static_cast<float>(st.v + eps * ev * shape[k]);
        }
        // The unperturbed run takes away the drift of the single-precision state.
        const double a0 = amplitude(perturbed, base, c.oneD, shape, eu, ev);
        rdtest::run(base, c.model, c.oneD, steps);
        rdtest::run(perturbed, c.model, c.oneD, steps);
        const double a1 = amplitude(perturbed, base, c.oneD, shape, eu, ev);
        const double measured = std::pow(std::abs(a1 / a0), 1.0 / steps);
        EXPECT_NEAR(measured - 1.0, std::abs(mu) - 1.0, 0.01 * std::abs(std::abs(mu) - 1.0))
            << "mode (" << mode.kx << ", " << mode.ky << "), " << steps << " steps";
        ++checked;
    }
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
