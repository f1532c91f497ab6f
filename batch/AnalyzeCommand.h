// `rdsim-batch analyze`: the linear stability of the uniform states of a model under the
// program's own step, as a short report, a CSV table and a plot.
#pragma once

#include "analysis/Analysis.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace rd::batch {

// argv[0] is "analyze". Returns the exit status.
int runAnalyze(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

using analysis::Analysis;

// The report the command prints.
std::string analysisReport(const Analysis& a);
// The discrete dispersion relation of every state, one row per grid mode, handed to `write`
// in pieces as it is made: a large grid's table is never held whole.
void writeDispersionCsv(const Analysis& a, const std::function<void(const std::string&)>& write);
} // namespace rd::batch
