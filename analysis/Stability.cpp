#include "analysis/Stability.h"

namespace rd::analysis {

const char* pointClassWord(PointClass c)
{
    switch (c) {
    case PointClass::NumericallyUnstable:
        return "numerically-unstable";
    case PointClass::TuringUnstable:
        return "turing";
    case PointClass::Oscillatory:
        return "oscillatory";
    case PointClass::UniformlyUnstable:
        return "uniformly-unstable";
    case PointClass::Bistable:
        return "bistable";
    case PointClass::Marginal:
        return "marginal";
    case PointClass::Stable:
        return "stable";
    case PointClass::NoState:
        break;
    }
    return "no-state";
}

const char* stateClassWord(StateClass c)
{
    switch (c) {
    case StateClass::NumericallyUnstable:
        return "numerically-unstable";
    case StateClass::TuringUnstable:
        return "turing";
    case StateClass::Oscillatory:
        return "oscillatory";
    case StateClass::UniformlyUnstable:
        return "uniformly-unstable";
    case StateClass::Marginal:
        return "marginal";
    case StateClass::Stable:
        break;
    }
    return "stable";
}

PointResult classifyPoint(const Scheme& s, const ModeTable& table, ModeSearch search)
{
    PointResult r;
    // What any state shows, by class.
    bool seen[6] = {};
    int stable = 0;
    const PointState* turing = nullptr;
    for (const SteadyState& st : steadyStates(s)) {
        const Linearisation lin(s, st.jacobian);
        const Extremes e = search == ModeSearch::EveryMode ? gridExtremesByScan(lin, table)
                                                           : gridExtremes(lin, table);
        const StateClass kind = classify(st, lin.growth(0.0), e);
        seen[static_cast<int>(kind)] = true;
        stable += kind == StateClass::Stable;
        PointState ps { st.u, st.v, kind, e.fastest.growth.rho, e.fastest.mode.kx,
            e.fastest.mode.ky };
        if (r.stateCount < kMaxPointStates) {
            PointState& slot = r.states[static_cast<std::size_t>(r.stateCount)];
            slot = ps;
            if (kind == StateClass::TuringUnstable && (!turing || ps.rho > turing->rho))
                turing = &slot;
        }
        ++r.stateCount;
    }
    const auto any = [&](StateClass c) { return seen[static_cast<int>(c)]; };
    if (any(StateClass::NumericallyUnstable))
        r.kind = PointClass::NumericallyUnstable;
    else if (turing)
        r.kind = PointClass::TuringUnstable;
    else if (any(StateClass::Oscillatory))
        r.kind = PointClass::Oscillatory;
    else if (any(StateClass::UniformlyUnstable))
        r.kind = PointClass::UniformlyUnstable;
    else if (stable > 1)
        r.kind = PointClass::Bistable;
    else if (any(StateClass::Marginal))
        r.kind = PointClass::Marginal;
    else if (stable == 1)
        r.kind = PointClass::Stable;
    if (r.kind == PointClass::TuringUnstable) {
        r.kx = turing->kx;
        r.ky = turing->ky;
        r.wavelength = 2.0 * (s.n - 1) / std::hypot(turing->kx, turing->ky);
    }
    return r;
}

} // namespace rd::analysis
