// The prediction against the engine itself, for any model: a small perturbation of a uniform
// state along a grid mode's dominant eigenvector, stepped by the engine, grows or decays per
// step by the mode's predicted factor.
#pragma once

#include "analysis/Prediction.h"
#include "engine/Integrators.h"
#include "engine/SimState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace rdtest {

// Projection of (du, dv) onto the mode shape (eu c, ev c).
inline double modeAmplitude(const rd::SimState& p, const rd::SimState& base, bool oneD,
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

// Checks the fastest and the shortest grid mode of state `st` of scheme `s` (a real growth
// factor only) against `steps` of the engine from `start`; returns how many were checked.
inline int checkModesGrowAsPredicted(const rd::analysis::Scheme& s,
    const rd::analysis::SteadyState& st, const rd::SimState& start,
    const std::function<void(rd::SimState&, int steps)>& run)
{
    using namespace rd::analysis;
    const ModeTable table(s.n, s.oneD);
    const Linearisation lin(s, st.jacobian);
    const Prediction pred = predict(s, st, table);
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

        const int n = s.n, rows = s.oneD ? 1 : n;
        std::vector<double> shape;
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < n; ++i)
                shape.push_back(std::cos(std::numbers::pi * mode.kx * i / (n - 1))
                    * std::cos(std::numbers::pi * mode.ky * j / (n - 1)));
        rd::SimState base = start, perturbed = start;
        for (std::size_t k = 0; k < shape.size(); ++k) {
            base.uA[k] = static_cast<float>(st.u);
            base.vA[k] = static_cast<float>(st.v);
            perturbed.uA[k] = static_cast<float>(st.u + eps * eu * shape[k]);
            perturbed.vA[k] = static_cast<float>(st.v + eps * ev * shape[k]);
        }
        // The unperturbed run takes away the drift of the single-precision state.
        const double a0 = modeAmplitude(perturbed, base, s.oneD, shape, eu, ev);
        run(base, steps);
        run(perturbed, steps);
        const double a1 = modeAmplitude(perturbed, base, s.oneD, shape, eu, ev);
        const double measured = std::pow(std::abs(a1 / a0), 1.0 / steps);
        EXPECT_NEAR(measured - 1.0, std::abs(mu) - 1.0, 0.01 * std::abs(std::abs(mu) - 1.0))
            << "mode (" << mode.kx << ", " << mode.ky << "), " << steps << " steps";
        ++checked;
    }
    return checked;
}

} // namespace rdtest
