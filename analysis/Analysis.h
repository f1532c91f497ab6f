// The whole linear analysis of one set of settings: the scheme and the prediction of every
// uniform steady state.
#pragma once

#include "analysis/Prediction.h"

#include <vector>

namespace rd::analysis {

struct Analysis {
    Scheme scheme;
    std::vector<Prediction> predictions; // one per steady state, ascending in u
};

// Every steady state of the scheme (n >= 2) predicted on its grid.
Analysis analyse(const Scheme& scheme);

// The state a user most likely wants to hear about: Turing-unstable first, then growing at
// the uniform mode, then marginal, else the first; states with u > 0 before the trivial one.
// -1 when there is none.
int featuredState(const Analysis& a);

} // namespace rd::analysis
