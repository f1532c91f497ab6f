// The dispersion plot of `rdsim-batch analyze` and the Python package: growth rate per
// step against the wavenumber of the grid's modes for one steady state.
#pragma once

#include "analysis/Analysis.h"

#include <QImage>
#include <QStringList>

namespace rd::pictures {

// Growth rate against wavenumber for state `state` of the analysis (-1: none), grid modes
// marked, unstable band shaded; under it every state with its class, and the class of the
// point (the featured state is analysis::featuredStates' first).
// The PNG's text carries its "Title" and, as "Description", the lines of stateLines.
QImage dispersionPlot(const analysis::Analysis& a, const analysis::ModeTable& table, int state);

// The lines under the plot: the point's class, then every state with its class, a fold or a
// saddle said, the one plotted (`shown`) and the others that give the point its class marked.
// None when there is no state.
QStringList stateLines(const analysis::Analysis& a, int shown);

} // namespace rd::pictures
