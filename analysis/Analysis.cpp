#include "analysis/Analysis.h"

#include "analysis/SteadyStates.h"

namespace rd::analysis {

Analysis analyse(const Scheme& scheme)
{
    Analysis a;
    a.scheme = scheme;
    const ModeTable table(scheme.n, scheme.oneD);
    const SteadyStateList states = steadyStateList(scheme);
    for (const SteadyState& st : states)
        a.predictions.push_back(predict(scheme, st, table));
    a.statesComplete = states.complete;
    return a;
}

} // namespace rd::analysis
