// A run from its description: the intake of its settings, its initial state, and its steps
// exactly as the window's run loop takes them.
#pragma once

#include "engine/TypedModel.h"
#include "runs/RunDescription.h"
#include "settings/Intake.h"
#include "settings/TypedIntake.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rd::runs {

// Cells per side the library takes. N * N stays far inside 32-bit cell indices.
inline constexpr std::int32_t kMaxCells = 4096;
inline constexpr SizeLimit kSizeLimit { kMaxCells, false };
// The window loop's limit of iterations, the most steps of a run.
inline constexpr std::int32_t kMaxSteps = 1000000;

// A state ready for its first step: the intake applied (buffer set A current), the arrays
// sized, the initial state in set A and the spare elements 0.
struct Prepared {
    SimState state;
    // The built-in model, or the typed model compiled and bound to the run's parameter values.
    std::variant<Model, TypedModel> model = Model::GiererMeinhardt;
    // Where a typed model's uniform states are searched for, when its description says.
    std::optional<AnalysisBounds> analysisBounds;
    bool oneD = false;
    int threads = 1; // threads of each 2D step (see CoreShare.h)
};

// "Gierer-Meinhardt", or the typed model's own name.
std::string modelDisplayName(const Prepared& run);

// Every box's text by slot of a built-in model's run: the panel's start-up texts with the
// description's settings (dt and dx are not boxes). Throws SettingsError for a name the model
// has no box for, std::invalid_argument for a typed model's run.
std::array<std::string, 8> boxTexts(const RunDescription& request);
// The intake's texts of a built-in model's run.
IntakeInput intakeInput(const RunDescription& request);
// The intake's texts of a typed model's run: the description's start-up texts with the
// run's settings. Throws SettingsError for a name the model has no setting of,
// std::invalid_argument for a built-in model's run.
TypedIntakeInput typedIntakeInput(const RunDescription& request);
// The run's time step and cell size (its dt and dx settings, else 1 and 0.01). Throws
// SettingsError.
StepSizes stepSizes(const RunDescription& request);
// Every setting's text of the run by name, as its record lists them: the model's own
// settings (each box's, or each of the typed model's) and dt and dx where the run sets them.
std::map<std::string, std::string> settingTexts(const RunDescription& request);

// Runs the intake on the description's texts and sizes the arrays unless only the settings
// are being checked; a typed model is compiled and bound to its values. Throws SettingsError
// naming the refused setting, ModelError for a typed model whose text does not compile.
Prepared prepare(const RunDescription& request, bool withArrays = true);

// Fields to load, checked against the run's size and dimension, with the SHA-256 (hex) of
// the files' bytes as read (empty for arrays given as such) and, for a file of double
// precision, its dtype ("<f8"): its values were rounded to the nearest single-precision value.
struct LoadedFields {
    std::vector<float> u, v;
    std::string uSha256, vSha256;
    std::string uType, vType;
    std::int32_t side = 0; // cells per side
};
// With nCells 0 the size is u's: a line (N,) in 1D, a square (N, N) in 2D, and v must have
// u's shape. Values must be finite, and at least 0 unless `signedValues` (signedFields).
// Throws FieldFileError when a file cannot be read or a field does not fit (with an empty
// wanted shape when u is of neither form).
LoadedFields loadFields(
    const InitialState& initial, std::int32_t nCells, bool oneD, bool signedValues);

// Whether the model's fields may hold negative values: those of a typed model that is not
// clamped. They load and compare with their negative values; other models' fields hold
// values of at least 0.
bool signedFields(const RunModel& model);

// Puts the initial state into set A (`loaded` for InitKind::Load). Throws DescriptionError for a
// seeded start without a stable uniform state.
void initialise(Prepared& run, const InitialState& initial, const LoadedFields* loaded);

// The current buffer set's cells, without the spare element: in 1D always set A, in 2D the
// set phaseA names.
std::span<const float> currentU(const SimState& s, bool oneD);
std::span<const float> currentV(const SimState& s, bool oneD);

// What a caller follows of a run while it advances; every part may be empty.
struct StepHooks {
    // Before the first step and after every `every`-th step (every > 0), with the steps done.
    std::function<void(std::int32_t)> sample;
    // After every step; the run ends early when it returns true.
    std::function<bool(std::int32_t)> progress;
    // Before every step; true ends the run with Cancelled, the state whole.
    std::function<bool()> cancelled;
};

// Advances `steps` iterations as the window's loop does, without drawing or events: in 2D
// from set A or B by phaseA, on run.threads threads. Returns the steps taken. Throws
// StepFailed and Cancelled.
std::int32_t advance(
    Prepared& run, std::int32_t steps, std::int32_t every, const StepHooks& hooks = {});

} // namespace rd::runs
