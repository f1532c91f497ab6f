// The run command of rdsim-batch: one run or a sweep of them, their output files, the
// progress line, the reports and the sweep's CSV.
#pragma once

#include "batch/Options.h"
#include "engine/SimState.h"
#include "output/OutputSet.h"
#include "runs/Errors.h"
#include "runs/Findings.h"
#include "runs/Record.h"
#include "runs/Run.h"

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

using runs::LoadedFields;
using runs::Prepared;
using runs::RunFindings;
using runs::StepFailed;

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

// Shared progress of all runs of one invocation on standard error, only when enabled: on a
// terminal one line rewritten at most four times a second; as `lines` (--progress, for logs)
// a plain line at the start, then every kProgressLinesEvery seconds, and at the end.
inline constexpr int kProgressLinesEvery = 5;
class Progress {
public:
    // `unit` names what is counted ("steps"; an analytic map counts "points").
    Progress(bool enabled, std::int64_t totalSteps, int runs, const char* unit = "steps",
        bool lines = false);
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
    bool lines_;
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

// The program as its records name it: "rdsim-batch".
inline constexpr char kProgram[] = "rdsim-batch";

// Steps, samples and writes one run, its record and every PNG made with `facts` (see
// runs/Record.h). Arithmetic and output errors, a want of memory and an interrupt end up
// in the report.
RunReport runOne(Prepared run, const Options& options, const Targets& targets,
    const runs::RunFacts& facts, Progress* progress);

// Throws UsageError, saying how large the picture would be, when the kymograph of a run of
// nCells cells exceeds pictures::kMaxKymographPixels. Nothing to check without --kymograph.
void checkKymographSize(const Options& options, std::int32_t nCells);

// All combinations of the sweeps, in order (the last sweep varies fastest).
std::vector<std::vector<std::string>> combinations(const Options& options);

// The lines --report prints for one run whose --steps was `stepsAsked`.
std::string reportText(const RunFindings& f, std::int32_t stepsAsked);
// A wavelength or other finding for a CSV: the shortest text that reads back as the value,
// "inf" for a flat field, empty when unknown.
std::string findingText(double value);

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
// Whether `row` is a line sweepCsvRow can write for combination k with these values: the
// same bytes as its fields written again, every known column's value one the program gives,
// no control character. A part's rows are checked so before they join the CSV.
bool sweepRowOk(const Options& options, std::size_t k, const std::vector<std::string>& values,
    const std::string& row);
// The longest row a combination of these options can have.
std::size_t sweepRowLimit(const Options& options);
// A field of a CSV line, in double quotes when it holds a comma, a quote or a line break.
std::string csvField(const std::string& s);

// --merge: the sweep's CSV from the parts its shards wrote (see batch/Shards.h). Returns
// the exit status and writes messages to err.
int mergeSweep(const Options& options, std::FILE* err);

} // namespace rd::batch
