// The seeded start of a run: the model's stable uniform state with a perturbed square in the
// middle, as the classic surveys of pattern space begin.
#pragma once

#include "engine/FieldInit.h"
#include "runs/Run.h"

#include <string>

namespace rd::runs {

// The rest and seed states for a run's settings: the uniform state of least u whose uniform
// mode decays under our step (a fold does not count); the seed is u = 0.25, v = 0.5 for
// Gray-Scott and 1.5 u, 0.5 v of the rest state for the other models, typed ones included.
// Throws DescriptionError when there is no such state; `tag` names the sweep combination in the
// message ("" for a run).
SeededStart seededStart(const Prepared& run, const std::string& tag);

} // namespace rd::runs
