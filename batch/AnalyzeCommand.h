// `rdsim-batch analyze`: the linear stability of the uniform states of a model under the
// program's own step, as a short report, a CSV table and a plot.
#pragma once

#include "analysis/Prediction.h"

#include <QImage>

#include <cstdio>
#include <string>
#include <vector>

namespace rd::batch {

// argv[0] is "analyze". Returns the exit status.
int runAnalyze(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

struct Analysis {
    analysis::Scheme scheme;
    std::vector<analysis::Prediction> predictions; // one per steady state
};

// The report the command prints.
std::string analysisReport(const Analysis& a);
// The discrete dispersion relation of every state, one row per grid mode.
std::string dispersionCsv(const Analysis& a, const analysis::ModeTable& table);
// The state a plot shows: Turing-unstable first, then growing at the uniform mode, then
// marginal, else the first; states with u > 0 before the trivial one. -1 when there is none.
int featuredState(const Analysis& a);
// Growth rate against wavenumber for one state, grid modes marked, unstable band shaded.
QImage dispersionPlot(const Analysis& a, const analysis::ModeTable& table, int state);

} // namespace rd::batch
