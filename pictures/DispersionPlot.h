// The dispersion plot of `rdsim-batch analyze` and the Python package: growth rate per
// step against the wavenumber of the grid's modes for one steady state.
#pragma once

#include "analysis/Analysis.h"

#include <QImage>

namespace rd::pictures {

// Growth rate against wavenumber for state `state` of the analysis (-1: none), grid modes
// marked, unstable band shaded.
QImage dispersionPlot(const analysis::Analysis& a, const analysis::ModeTable& table, int state);

} // namespace rd::pictures
