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
    const SteadyStateList states = steadyStateList(s);
    return classifyStates(s, table, states.span(), search);
}

PointResult classifyStates(
    const Scheme& s, const ModeTable& table, std::span<const SteadyState> states, ModeSearch search)
{
    PointResult r;
    // What the states show, saddles (one real growing direction: the separatrix between two
    // other states' basins) apart from the rest; saddles decide only when there is nothing else.
    struct Tally {
        bool seen[6] = {};
        int count = 0, stable = 0;
        const PointState* turing = nullptr; // the fastest Turing-unstable state
    } tally[2];
    for (const SteadyState& st : states) {
        const Linearisation lin(s, st.jacobian);
        const Extremes e = search == ModeSearch::EveryMode ? gridExtremesByScan(lin, table)
                                                           : gridExtremes(lin, table);
        const StateClass kind = classify(st, lin.growth(0.0), e);
        Tally& t = tally[!st.fold && st.jacobian.det() < 0.0];
        t.seen[static_cast<int>(kind)] = true;
        ++t.count;
        t.stable += kind == StateClass::Stable;
        PointState ps { st.u, st.v, kind, e.fastest.growth.rho, e.fastest.mode.kx,
            e.fastest.mode.ky };
        if (r.stateCount < kMaxPointStates) {
            PointState& slot = r.states[static_cast<std::size_t>(r.stateCount)];
            slot = ps;
            if (kind == StateClass::TuringUnstable && (!t.turing || ps.rho > t.turing->rho))
                t.turing = &slot;
        }
        ++r.stateCount;
    }
    const Tally& t = tally[0].count > 0 ? tally[0] : tally[1];
    const PointState* turing = t.turing;
    const auto any = [&](StateClass c) { return t.seen[static_cast<int>(c)]; };
    if (any(StateClass::NumericallyUnstable))
        r.kind = PointClass::NumericallyUnstable;
    else if (turing)
        r.kind = PointClass::TuringUnstable;
    else if (any(StateClass::Oscillatory))
        r.kind = PointClass::Oscillatory;
    else if (any(StateClass::UniformlyUnstable))
        r.kind = PointClass::UniformlyUnstable;
    else if (t.stable > 1)
        r.kind = PointClass::Bistable;
    else if (any(StateClass::Marginal))
        r.kind = PointClass::Marginal;
    else if (t.stable == 1)
        r.kind = PointClass::Stable;
    if (r.kind == PointClass::TuringUnstable) {
        r.kx = turing->kx;
        r.ky = turing->ky;
        r.wavelength = 2.0 * (s.n - 1) / std::hypot(turing->kx, turing->ky);
    }
    return r;
}

} // namespace rd::analysis
