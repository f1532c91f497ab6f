// One batch run and a sweep of them: the intake, the initial state, the steps exactly as the
// window's run loop takes them, and the output files.
#pragma once

#include "batch/Options.h"
#include "batch/RunFindings.h"
#include "engine/SimState.h"
#include "output/OutputSet.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace rd::batch {

using output::OutputError;

// A step that failed: the engine's message and the iteration (counted from 1) it failed in.
class StepFailed : public std::runtime_error {
public:
    StepFailed(const std::string& message, std::int32_t iteration)
        : std::runtime_error(message)
        , iteration_(iteration)
    { }
    std::int32_t iteration() const noexcept { return iteration_; }

private:
    std::int32_t iteration_;
};

// Fields read from --load-u and --load-v, checked against the run's size and dimension, with
// the SHA-256 (hex) of the files' bytes as read.
struct LoadedFields {
    std::vector<float> u, v;
    std::string uSha256, vSha256;
};

// A state ready for its first step: the intake applied (buffer set A current), the arrays
// sized, the initial state in set A and the spare elements 0.
struct Prepared {
    SimState state;
    Model model = Model::GiererMeinhardt;
    bool oneD = false;
    int threads = 1; // threads of each 2D step (see shareCores)
};

// Runs the intake on the options' texts with one value per sweep and sizes the arrays unless
// only the settings are being checked. Throws UsageError naming the option whose value the
// intake refused.
Prepared prepareSettings(
    const Options& options, const std::vector<std::string>& overrides = {}, bool withArrays = true);

// Puts the initial state into set A. Throws UsageError when a file cannot be read or holds
// a field that does not fit.
LoadedFields loadFields(const Options& options, std::int32_t nCells);
void initialise(Prepared& run, const Options& options, const LoadedFields* loaded);

// The current buffer set's cells, without the spare element: in 1D always set A, in 2D the
// set phaseA names.
std::span<const float> currentU(const SimState& s, bool oneD);
std::span<const float> currentV(const SimState& s, bool oneD);

// Advances `steps` iterations as the window's loop does, without drawing or events: in 2D
// from set A or B by phaseA, on run.threads threads. `sample(stepsDone)` runs before the first
// step and after every `every`-th step when every > 0; `progress(stepsDone)` after every step,
// and the run ends early when it returns true. Returns the steps taken. Throws StepFailed.
std::int32_t advance(Prepared& run, std::int32_t steps, std::int32_t every,
    const std::function<void(std::int32_t)>& sample,
    const std::function<bool(std::int32_t)>& progress = {});

// The output names of one run. A sweep's combination puts its tag ("kA=0.05-kB=0.06") into
// every name: after the save prefix, and before a picture's extension.
struct Targets {
    std::string savePrefix, image, kymograph, movie;
};
Targets targetsFor(const Options& options, const std::string& tag);
// The tag of a sweep combination, "" for a single run.
std::string tagFor(const Options& options, const std::vector<std::string>& values);

// "name.png" -> "name-u.png": the two pictures of a 1D state.
std::string speciesName(const std::string& picture, char species);

// Every target must be replaceable (see output::checkReplaceable). Throws OutputError.
void checkTargets(const Targets& targets, bool oneD);

// The record file of a run (see batch/Provenance.h): PREFIX.json with --save PREFIX, else
// named after its first output without the extension (a frame sequence without its number
// and the separators before it: f-%05d.png gives f.json). "" for a run without outputs.
std::string recordPath(const Targets& targets);

// The sweep's CSV: NAME-sweep.csv after the first of --save, --image and --kymograph.
std::filesystem::path sweepCsvPath(const Options& options);

// Refuses two outputs of one invocation that name the same file. Throws UsageError.
void checkCollisions(const Options& options, const std::vector<Targets>& targets);

enum class RunStatus : std::int8_t { Ok, ArithmeticError, OutputError, OutOfMemory, Interrupted };

struct RunReport {
    RunStatus status = RunStatus::Ok;
    std::string message; // the error, empty on success
    std::int32_t iteration = 0; // the failing iteration of an arithmetic error
    std::vector<std::string> files; // the files written
    RunFindings findings; // watched with --report, --until steady and in sweeps
};

// Shared progress of all runs of one invocation: a line on standard error, at most four
// times a second, only when enabled (standard error a terminal and no --quiet).
class Progress {
public:
    // `unit` names what is counted ("steps"; an analytic map counts "points").
    Progress(bool enabled, std::int64_t totalSteps, int runs, const char* unit = "steps");
    void addSteps(std::int64_t n);
    void runDone();
    // A run ended `skipped` steps before its --steps, at step `at`.
    void runStopped(std::int64_t skipped, std::int64_t at);
    void finish();
    bool enabled() const { return enabled_; }

private:
    void print(bool final);

    bool enabled_;
    const char* unit_;
    std::atomic<std::int64_t> total_;
    std::atomic<int> stopped_ { 0 };
    std::atomic<std::int64_t> stoppedAt_ { 0 };
    int runs_;
    std::atomic<std::int64_t> done_ { 0 };
    std::atomic<int> runsDone_ { 0 };
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::atomic<std::int64_t> nextPrintNs_ { 0 };
    std::mutex printing_;
};

struct RunFacts; // see batch/Provenance.h

// Steps, samples and writes one run, its record and every PNG made with `facts` (see
// batch/Provenance.h). Arithmetic and output errors, a want of memory and an interrupt end up
// in the report.
RunReport runOne(Prepared run, const Options& options, const Targets& targets,
    const RunFacts& facts, Progress* progress);

// All combinations of the sweeps, in order (the last sweep varies fastest).
std::vector<std::vector<std::string>> combinations(const Options& options);

// The whole invocation after parsing: returns the exit status and writes messages to err.
int runBatch(const Options& options, bool progressWanted, std::FILE* err);

// --report's lines for every run that ended with findings, each sweep run's under its tag.
// Returns 0, or -1 when the text did not reach `out`.
int printReports(const Options& options, const std::vector<std::vector<std::string>>& combos,
    const std::vector<RunReport>& reports, std::FILE* out);

// The sweep CSV's text for the reports of all combinations, in order: its header line, then
// the line of each combination (k counted from 0, `values` its sweep values).
std::string sweepCsv(const Options& options, const std::vector<std::vector<std::string>>& combos,
    const std::vector<RunReport>& reports);
std::string sweepCsvHeader(const Options& options);
std::string sweepCsvRow(std::size_t k, const std::vector<std::string>& values, const RunReport& r);

// --merge: the sweep's CSV from the parts its shards wrote (see batch/Shards.h). Returns
// the exit status and writes messages to err.
int mergeSweep(const Options& options, std::FILE* err);

} // namespace rd::batch
