#include "analysis/Prediction.h"

#include <cmath>
#include <cstdio>

namespace rd::analysis {

const char* className(StateClass c)
{
    switch (c) {
    case StateClass::Stable:
        return "stable";
    case StateClass::TuringUnstable:
        return "Turing-unstable";
    case StateClass::Oscillatory:
        return "oscillatory (uniform mode grows as a complex pair)";
    case StateClass::UniformlyUnstable:
        return "unstable at the uniform mode";
    case StateClass::Marginal:
        return "marginal";
    case StateClass::NumericallyUnstable:
        return "numerically unstable";
    }
    return "";
}

Prediction predict(const Scheme& s, const SteadyState& state, const ModeTable& table)
{
    Prediction p;
    p.state = state;
    const Linearisation lin(s, state.jacobian);
    p.uniform = lin.growth(0.0);
    p.extremes = gridExtremes(lin, table);
    p.bands = unstableBands(lin, s.lambdaMin(), kMarginalTolerance);

    const ModeGrowth& f = p.extremes.fastest;
    for (const GridMode& m : table.modes())
        if (m.lambda == f.mode.lambda) {
            p.fastestModes.emplace_back(m.kx, m.ky);
            if (!table.oneD() && m.kx != m.ky)
                p.fastestModes.emplace_back(m.ky, m.kx);
        }
    p.wavenumber = std::hypot(f.mode.kx, f.mode.ky);
    if (p.wavenumber > 0.0)
        p.wavelength = 2.0 * (s.n - 1) / p.wavenumber;
    if (f.growth.rho > 1.0)
        p.eFoldingSteps = 1.0 / std::log(f.growth.rho);

    p.kind = classify(state, p.uniform, p.extremes);
    return p;
}

StateClass classify(const SteadyState& state, const Amplification& uniform, const Extremes& e)
{
    const double top = e.fastest.growth.rho;
    if (e.lowestReal < -1.0 - kMarginalTolerance)
        return StateClass::NumericallyUnstable;
    if (state.fold)
        return StateClass::Marginal;
    if (uniform.rho > 1.0 + kMarginalTolerance)
        return uniform.complex ? StateClass::Oscillatory : StateClass::UniformlyUnstable;
    if (top > 1.0 + kMarginalTolerance)
        return StateClass::TuringUnstable;
    if (top >= 1.0 - kMarginalTolerance)
        return StateClass::Marginal;
    return StateClass::Stable;
}

std::string expectation(const Prediction& p, bool oneD)
{
    char buf[200];
    switch (p.kind) {
    case StateClass::TuringUnstable:
        std::snprintf(buf, sizeof buf, "%s about %.3g cells apart",
            oneD ? "peaks" : "spots or stripes", p.wavelength);
        return buf;
    case StateClass::Oscillatory:
        return "the whole field oscillates";
    case StateClass::UniformlyUnstable:
        return "the whole field leaves this state together (and may then oscillate as a whole)";
    case StateClass::NumericallyUnstable:
        return "the step diverges whatever the kinetics: reduce Du, Dv or dt, or enlarge dx";
    case StateClass::Marginal:
        return p.state.fold ? "a fold: a small push decides which way the field goes"
                            : "neither growth nor decay: changes are slow";
    case StateClass::Stable:
        break;
    }
    return "nothing grows from a uniform start: seed the field";
}

} // namespace rd::analysis
