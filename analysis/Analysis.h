// The whole linear analysis of one set of settings: the scheme and the prediction of every
// uniform steady state (which of them to feature: FeaturedState.h).
#pragma once

#include "analysis/Prediction.h"

#include <vector>

namespace rd::analysis {

struct Analysis {
    Scheme scheme;
    std::vector<Prediction> predictions; // one per steady state, ascending in u
    // Every state in the box is predicted (SteadyStateList::complete).
    bool statesComplete = true;
};

// Every steady state of the scheme (n >= 2) predicted on its grid.
Analysis analyse(const Scheme& scheme);

} // namespace rd::analysis
