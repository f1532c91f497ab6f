// Where the linear analysis meets a run's model. The built-in models are analysed; a typed
// model's analysis (its uniform states in a box, their classes and predicted wavelengths) is
// not there yet. Every caller that needs the analysis of a run's model asks here, so that the
// analysis of typed models plugs in at this one place; until then a typed model is refused
// with NotAnalysed, whose message begins "the analysis of typed models".
#pragma once

#include "analysis/Scheme.h"
#include "runs/Errors.h"
#include "runs/Run.h"

namespace rd::runs {

class NotAnalysed : public SpecError {
    using SpecError::SpecError;
};

// Whether the analysis takes the model.
bool analysable(const RunModel& model);
bool analysable(const Prepared& run);

// Throws NotAnalysed unless the model is analysable; the front end names what asked.
void requireAnalysis(const RunModel& model);

// The linearised scheme of a prepared run (analysis::schemeFromState). Throws NotAnalysed.
analysis::Scheme schemeOf(const Prepared& run);

} // namespace rd::runs
