// A run's final fields as .npy files, and its record beside them, put in place together.
#pragma once

#include "output/OutputSet.h"
#include "runs/Record.h"
#include "runs/Run.h"

#include <string>
#include <vector>

namespace rd::runs {

// Adds PREFIX-u.npy and PREFIX-v.npy of the current set to `set`, returning them as the
// record names them.
std::vector<SavedFile> addFields(
    output::OutputSet& set, const Prepared& run, const std::string& prefix);

// Writes PREFIX-u.npy, PREFIX-v.npy and the record PREFIX.json of the run after `step`
// steps, all three or none. Throws output::OutputError.
std::vector<std::string> saveRun(
    const Prepared& run, const RunFacts& facts, std::int32_t step, const std::string& prefix);

} // namespace rd::runs
