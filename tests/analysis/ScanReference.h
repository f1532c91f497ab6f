// The steady states as the analysis found them before the roots were isolated: a dense scan
// of the nullcline equation with bisection. Kept only as the reference the isolation is
// compared with; it misses roots closer than its grid and those beyond its range.
#pragma once

#include "analysis/SteadyStates.h"

namespace rdtest {

// Gierer-Meinhardt and the Oregonator by the scan; the other models by their closed forms.
rd::analysis::SteadyStateList scannedSteadyStates(const rd::analysis::Scheme& s);

} // namespace rdtest
