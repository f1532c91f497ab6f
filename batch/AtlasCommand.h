// `rdsim-batch atlas`: maps of a model over two of its settings. The analytic map classifies
// every point by the linear stability of its uniform states; the simulated map (--simulate)
// runs the simulation at every point and shows the final fields side by side.
#pragma once

#include "batch/Options.h"
#include "pictures/FieldPicture.h"
#include "runs/Maps.h"
#include "runs/Shards.h"

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rd::output {
class OutputSet;
}

namespace rd::batch {

class Progress;

// argv[0] is "atlas". Returns the exit status.
int runAtlas(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

struct AtlasArgs {
    Options options; // model, dimension, size, boxes; with --simulate also steps and start
    runs::MapDescription map; // the same as a map of the runs library
    std::string image, csv;
    std::string stepsImage; // with --until steady and --image: the map of the steps
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

// What `atlas --help` prints.
std::string atlasHelpText();

// Parses the arguments after "atlas". Throws UsageError.
AtlasArgs parseAtlasArguments(int argc, const char* const* argv);

// The analytic map's table: its header, then one line per point (row j's appended to `csv`).
// Every line has the columns of as many states as the model can have (analysis::mostStates).
std::string analyticCsvHeader(const AtlasArgs& a);
void appendAnalyticRow(std::string& csv, const AtlasArgs& a, std::size_t j,
    std::span<const analysis::PointResult> row);
// The analytic map streamed into `set`, which the caller commits: the table written as its
// rows come, the picture added at the end. Throws as runs::classifyMapRows,
// output::OutputError, or Interrupted.
void analyticAtlas(const AtlasArgs& a, output::OutputSet& set, Progress& progress);

// The simulated map's table: one row per point.
std::string simulatedCsv(const AtlasArgs& a, const runs::SimulatedMap& map);

// A split simulated map. The part lies beside the CSV (or else the picture).
std::filesystem::path atlasPartOutput(const AtlasArgs& a);
// Writes the part of a.shard from a map of simulateMap. Throws output::OutputError.
void writeAtlasPart(const AtlasArgs& a, const runs::SimulatedMap& map);
// The map from every part; the points are read from the parts, the prediction is made
// again. Throws runs::MergeError naming the part.
runs::SimulatedMap mergeAtlasParts(const AtlasArgs& a);

} // namespace rd::batch
