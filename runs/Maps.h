// Maps of a model over two of its settings: the analytic map classifies every point by the
// linear stability of its uniform states; the simulated map runs the simulation at every
// point. The points, not their pictures (see pictures/) or their tables.
#pragma once

#include "analysis/RunTracker.h"
#include "analysis/Stability.h"
#include "runs/CoreShare.h"
#include "runs/RunDescription.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rd::runs {

// One axis of a map: a setting and its values, as the intake reads them.
struct MapAxis {
    std::string name; // e.g. "kA"
    std::optional<BoxField> field; // the box it sets; none for a typed model's parameter
    std::vector<std::string> texts;
    std::vector<double> values; // the texts read as numbers, for positions
    double startUp = 0; // the value of the setting without the axis (start-up or as set)
};

// The axis of the setting `name` with these values at the map's base settings. Throws
// SettingsError for a name the model has no setting of, and for dt and dx, which change
// every coefficient at once (sweep them instead).
MapAxis mapAxis(
    const RunDescription& base, const std::string& name, std::vector<std::string> texts);

struct MapDescription {
    // Model, dimension, size, the other settings; simulated: start, steps and untilSteady.
    RunDescription base;
    MapAxis x, y;
};

// One result per point, row by row (y outer, x inner, both ascending).
struct AnalyticMap {
    analysis::Scheme base; // the scheme at the base settings
    std::vector<analysis::PointResult> points;
};

// Classifies every point on `jobs` threads (0: every hardware thread); the results do not
// depend on their number. `rowDone` is called
// after each row (from any thread); a `cancelled` that turns true stops the rows not yet begun.
// Throws SettingsError naming the setting (an axis's name for a value of an axis) whose text the
// intake refuses, or that makes every step divide by zero.
AnalyticMap classifyMap(const MapDescription& map, unsigned jobs,
    const std::function<void()>& rowDone = {}, const std::function<bool()>& cancelled = {});

// What a caller does with an analytic map's rows as they come, for a map too large to hold.
struct MapRowHooks {
    // Row j's points (x ascending) on the thread that classified it: rows come in any order
    // and at once, so that the work a caller does on them (a table's text) spreads too.
    std::function<void(std::size_t j, std::span<const analysis::PointResult> row)> classified;
    // Rows 0, 1, 2, ... in order on the calling thread, each after its `classified`.
    std::function<void(std::size_t j)> inOrder;
    // Turns true: the rows not yet begun are left, and the call returns.
    std::function<bool()> cancelled;
};

// Classifies the map as classifyMap does, on `jobs` threads besides the calling one, but
// keeps no point: at most `ahead` rows are begun beyond the last one given to inOrder, so
// what a caller keeps of the rows in between stays bounded whatever the map's size. Returns
// the scheme at the base settings. Throws as classifyMap before any row; what a hook throws
// is thrown again once every worker has stopped.
analysis::Scheme classifyMapRows(
    const MapDescription& map, unsigned jobs, std::size_t ahead, const MapRowHooks& hooks);

// What a map keeps of a point's final field of u for its picture (MapHooks::keep), instead of
// the field: the values of the field's tile at the picture's size, and the field's range.
struct KeptField {
    std::vector<float> values;
    float lo = NAN, hi = NAN; // the least and greatest finite value of the field; NaN: none
};

// A simulated point: what the tables and the mosaic need of its run.
struct SimulatedPoint {
    KeptField field; // empty when nothing is drawn or the run could not start
    analysis::RunState state = analysis::RunState::StillChanging;
    bool ran = false; // false: cancelled or out of memory before it ended
    std::int32_t steps = 0;
    double measured = NAN, contrast = NAN;
    std::string message; // an error's text
};
struct SimulatedMap {
    AnalyticMap prediction;
    std::vector<SimulatedPoint> points;
    int n = 0; // cells per side
};

// What a caller follows of a simulated map's runs; every part may be empty.
struct MapHooks {
    std::function<void(std::int64_t)> stepsDone; // steps since the last call, any thread
    std::function<void()> runDone;
    // A run that --until steady ended at step `at`, before its last (any thread).
    std::function<void(std::int32_t at)> stoppedEarly;
    std::function<bool()> cancelled; // true: the runs stop between two steps
    // Called as each run ends with its final u; without it nothing of the field is kept.
    std::function<KeptField(std::span<const float> u)> keep;
};

// The runs of a map as a sweep over its two axes (y outer): the combinations row by row.
std::vector<std::vector<std::string>> mapCombinations(const MapDescription& map);

// Runs the points `members` (indices row by row) of the map, `share.jobs` at once on
// `share.threads` threads each; the other points stay empty. Of each run only its findings
// and what `hooks.keep` takes of its field are held once it ends. Throws std::bad_alloc when a
// point could not run for want of memory and nothing was cancelled.
SimulatedMap simulateMap(const MapDescription& map, AnalyticMap prediction,
    const std::vector<std::size_t>& members, CoreShare share, const MapHooks& hooks = {});

// A point as one row of text and back: everything the tables and the mosaic take from it,
// bit for bit (the kept field, not the field). Reading gives nothing for a malformed row or
// one without `values` kept values.
std::string pointRow(const SimulatedPoint& p);
std::optional<SimulatedPoint> pointFromRow(const std::string& row, std::size_t values);

} // namespace rd::runs
