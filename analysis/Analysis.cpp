#include "analysis/Analysis.h"

namespace rd::analysis {

Analysis analyse(const Scheme& scheme)
{
    Analysis a;
    a.scheme = scheme;
    const ModeTable table(scheme.n, scheme.oneD);
    for (const SteadyState& st : steadyStates(scheme))
        a.predictions.push_back(predict(scheme, st, table));
    return a;
}

int featuredState(const Analysis& a)
{
    const auto& ps = a.predictions;
    // Within a class a state away from u = 0 says more than the trivial one.
    for (StateClass wanted : { StateClass::TuringUnstable, StateClass::Oscillatory,
             StateClass::UniformlyUnstable, StateClass::NumericallyUnstable, StateClass::Marginal })
        for (bool trivialToo : { false, true })
            for (std::size_t i = 0; i < ps.size(); ++i)
                if (ps[i].kind == wanted && (trivialToo || ps[i].state.u > 0.0))
                    return static_cast<int>(i);
    return ps.empty() ? -1 : 0;
}

} // namespace rd::analysis
