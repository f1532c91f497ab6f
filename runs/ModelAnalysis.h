// Where the linear analysis meets a run's model: the built-in models by their constants, a
// typed model by its compiled program, its states searched for in the box its description
// gives (else 0 to uMax, 0 to vMax).
#pragma once

#include "analysis/Scheme.h"
#include "runs/Run.h"

namespace rd::runs {

// The linearised scheme of a prepared run (analysis::schemeFromState).
analysis::Scheme schemeOf(const Prepared& run);

} // namespace rd::runs
