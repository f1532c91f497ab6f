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

} // namespace rd::analysis
