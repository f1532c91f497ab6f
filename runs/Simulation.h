// One run held for a caller that steps it in pieces and looks at it in between: a C++
// program, or the Python package. The run is the one the command line makes of the same
// description, bit for bit, however its steps are split.
#pragma once

#include "runs/Findings.h"
#include "runs/Record.h"
#include "runs/Run.h"

#include <QJsonObject>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rd::runs {

class Simulation {
public:
    // Prepares and starts the described run; `program` names the front end in its records.
    // Throws SettingsError, DescriptionError (FieldFileError, SeededStartError).
    Simulation(RunDescription request, std::string_view program);

    // Advances up to `steps` more steps (hooks as for advance; `progress` gets the steps
    // taken in this call). Returns the steps taken. A StepFailed leaves the state the step
    // left (see the engine); a Cancelled the state after the last whole step.
    std::int32_t advance(std::int32_t steps, const StepHooks& hooks = {});
    // Advances until the run has converged (checked as for --until steady) or `maxSteps`
    // more steps have passed. Returns the steps taken.
    std::int32_t advanceUntilSteady(std::int32_t maxSteps, const StepHooks& hooks = {});

    std::int32_t steps() const { return steps_; } // whole steps taken since the start
    const RunDescription& request() const { return request_; }
    const Prepared& prepared() const { return run_; }
    std::span<const float> u() const;
    std::span<const float> v() const;

    // The findings after the steps so far; the run is not touched.
    RunFindings findings() const;
    // The record of the current state, as `saveRun` writes it for PREFIX.json. A run started
    // from arrays names no files for them, only their SHA-256 as .npy files: such a record
    // replays only as `save` writes it.
    QJsonObject record(
        const std::string& carrier = "record.json", const std::vector<SavedFile>& saved = {}) const;
    // PREFIX-u.npy, PREFIX-v.npy and PREFIX.json, all or none. A run started from arrays
    // rather than files also writes them, as PREFIX-initial-u.npy and PREFIX-initial-v.npy,
    // for its record to name, so that the record replays. Throws output::OutputError.
    std::vector<std::string> save(const std::string& prefix) const;

private:
    RunDescription request_;
    Prepared run_;
    LoadedFields loaded_;
    RunFacts facts_;
    std::optional<RunWatch> watch_;
    std::int32_t steps_ = 0;
    bool failed_ = false;
    std::int32_t failedAt_ = 0;
};

} // namespace rd::runs
