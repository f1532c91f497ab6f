// `rdsim-batch atlas`: maps of a model over two of its settings. The analytic map classifies
// every point by the linear stability of its uniform states; the simulated map (--simulate)
// runs the simulation at every point and shows the final fields side by side.
#pragma once

#include "analysis/RunTracker.h"
#include "analysis/Stability.h"
#include "batch/FieldPicture.h"
#include "batch/Options.h"
#include "batch/Shards.h"

#include <QImage>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rd::batch {

// argv[0] is "atlas". Returns the exit status.
int runAtlas(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// One axis of a map: a setting and its values, as the intake reads them.
struct AtlasAxis {
    std::string name; // as on the command line, e.g. "kA"
    BoxField field {};
    std::vector<std::string> texts;
    std::vector<double> values; // the texts read as numbers, for positions
    double startUp = 0; // the value of the setting without the axis (start-up or --set)
};

struct AtlasArgs {
    Options options; // model, dimension, size, boxes; with --simulate also steps and start
    AtlasAxis x, y;
    std::string image, csv;
    bool simulate = false;
    std::string initText = "zero"; // --init as given, for the mosaic's subtitle
    bool help = false;
    int tile = 64; // pixels of a mosaic tile
    unsigned jobs = 0; // 0: one per hardware thread
    // Grey tiles, so that the coloured frames stand out.
    Colormap colormap = Colormap::Gray;
    Shard shard; // --shard I/K: only part I of K of a simulated map's points
    bool merge = false; // --merge: the map joined from the parts
    // "atlas" and the arguments as "NAME VALUE" (or "NAME") but for those that leave the
    // results alone (--shard, --merge, --jobs, --quiet): what a part and its merge share.
    std::vector<std::string> identity;
};

// Parses the arguments after "atlas". Throws UsageError.
AtlasArgs parseAtlasArguments(int argc, const char* const* argv);

// The analytic map: one result per point, row by row (y outer, x inner, both ascending).
struct AnalyticMap {
    analysis::Scheme base; // the scheme at the start-up point (for the title)
    std::vector<analysis::PointResult> points;
};
// Classifies every point on `jobs` threads; the results do not depend on their number.
// `rowDone` is called after each row (from any thread). Throws UsageError for a point
// the intake refuses.
AnalyticMap classifyMap(const AtlasArgs& a, unsigned jobs, const std::function<void()>& rowDone);
std::string analyticCsv(const AtlasArgs& a, const AnalyticMap& map);

// How a map picture is laid out: the same axes, ticks and legend frame for both maps.
QImage analyticPicture(const AtlasArgs& a, const AnalyticMap& map);

// The simulated map: the final field and findings of every point.
struct SimulatedPoint {
    std::vector<float> u; // the final u (empty when the run could not start)
    analysis::RunState state = analysis::RunState::StillChanging;
    bool ran = false; // false: interrupted or out of memory before it ended
    std::int32_t steps = 0;
    double measured = NAN, contrast = NAN;
    std::string message; // an error's text
};
struct SimulatedMap {
    AnalyticMap prediction;
    std::vector<SimulatedPoint> points;
    int n = 0; // cells per side
};
// Runs the points of a.shard only (every point when it is not active); the others stay empty.
SimulatedMap simulateMap(const AtlasArgs& a, bool progressWanted);
std::string simulatedCsv(const AtlasArgs& a, const SimulatedMap& map);
QImage mosaicPicture(const AtlasArgs& a, const SimulatedMap& map);

// A split simulated map. The part lies beside the CSV (or else the picture).
std::filesystem::path atlasPartOutput(const AtlasArgs& a);
// A point as one row of text and back: everything the CSV and the mosaic take from it, bit
// for bit. Reading gives nothing for a malformed row or one without `cells` values of u.
std::string atlasPointRow(const SimulatedPoint& p);
std::optional<SimulatedPoint> atlasPointFromRow(const std::string& row, std::size_t cells);
// Writes the part of a.shard from a map of simulateMap. Throws output::OutputError.
void writeAtlasPart(const AtlasArgs& a, const SimulatedMap& map);
// The map from every part; the points are read from the parts, the prediction is made
// again. Throws MergeError naming the part.
SimulatedMap mergeAtlasParts(const AtlasArgs& a);

} // namespace rd::batch
