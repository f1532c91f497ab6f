#include "analysis/Stability.h"

#include "analysis/FeaturedState.h"

#include <algorithm>
#include <array>

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
    PointResult r = classifyStates(s, table, states.span(), search);
    r.statesComplete = states.complete;
    return r;
}

PointResult classifyStates(
    const Scheme& s, const ModeTable& table, std::span<const SteadyState> states, ModeSearch search)
{
    PointResult r;
    // What the precedence needs of every state, on the stack: millions of points allocate
    // nothing.
    std::array<StateVerdict, kMaxPointStates> verdicts {};
    for (const SteadyState& st : states.first(std::min(states.size(), verdicts.size()))) {
        const Linearisation lin(s, st.jacobian);
        const Extremes e = search == ModeSearch::EveryMode ? gridExtremesByScan(lin, table)
                                                           : gridExtremes(lin, table);
        const StateClass kind = classify(st, lin.growth(0.0), e);
        const auto k = static_cast<std::size_t>(r.stateCount++);
        r.states[k]
            = { st.u, st.v, kind, e.fastest.growth.rho, e.fastest.mode.kx, e.fastest.mode.ky };
        verdicts[k] = { kind, isSaddle(st), e.fastest.growth.rho, st.u };
    }
    // The point's class by the one precedence, saddles aside (FeaturedState.h).
    const FeaturedStates f = featuredStates(
        std::span<const StateVerdict>(verdicts).first(static_cast<std::size_t>(r.stateCount)));
    r.kind = f.kind;
    if (r.kind == PointClass::TuringUnstable) {
        const PointState& turing = r.states[static_cast<std::size_t>(f.first())];
        r.kx = turing.kx;
        r.ky = turing.ky;
        r.wavelength = 2.0 * (s.n - 1) / std::hypot(turing.kx, turing.ky);
    }
    return r;
}

} // namespace rd::analysis
