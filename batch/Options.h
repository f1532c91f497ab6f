// The command line of rdsim-batch: long options into a checked description of the work.
#pragma once

#include "engine/SimState.h"
#include "pictures/FieldPicture.h"
#include "runs/Names.h"
#include "runs/RunDescription.h"
#include "runs/Shards.h"
#include "settings/Intake.h"
#include "settings/ModelBoxes.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace rd::runs {
class SettingsError;
class FieldFileError;
} // namespace rd::runs

namespace rd::batch {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2; // bad arguments or settings; nothing written
inline constexpr int kExitArithmetic = 3; // a step failed; no partial outputs
inline constexpr int kExitOutput = 4; // an output could not be written
inline constexpr int kExitMemory = 5; // out of memory

// A bad argument: one line naming the option and quoting its value.
class UsageError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

using pictures::Colormap;
using pictures::PictureStyle;
using runs::InitKind;
using runs::Shard;

// One parameter of a sweep: FROM:TO:COUNT, evenly spaced, both ends included.
struct Sweep {
    std::string name; // as on the command line, e.g. "kA", "a" or "seed"
    std::vector<std::string> values; // texts that go through the intake, or the seeds
    bool seed() const { return name == "seed"; }
};

// How the model was asked for, as given: --model NAME (a built-in model or a shipped model
// file), --model-file FILE, or a model typed on the command line with --rate-u, --rate-v,
// --param and --no-clamp.
struct ModelArguments {
    std::optional<std::string> name, file, rateU, rateV;
    std::vector<std::string> params; // NAME=VALUE, in order
    bool noClamp = false;
};

// The name of a model typed on the command line.
inline constexpr char kCommandLineModelName[] = "custom";

struct Options {
    bool help = false;
    bool version = false;

    // A built-in model, or a typed model's full text (from a file or the command line).
    runs::RunModel model = Model::GiererMeinhardt;
    bool oneD = false;
    // Empty when fields are loaded and --size is not given: the fields' own size.
    std::string sizeText { kDefaultSizeText };
    std::int32_t steps = 1000;
    // The texts of --set by the setting's name; the other settings keep their start-up texts.
    std::map<std::string, std::string> settings;

    InitKind init = InitKind::Zero;
    std::uint64_t seed = 0;
    std::string loadU, loadV;

    std::string savePrefix; // empty: no .npy output; holds %d for a series of fields
    std::string image; // empty: no picture; holds %d for a frame sequence
    std::int32_t every = 0; // 0: no frames or kymograph rows given
    std::string kymograph; // 1D only
    std::string movie; // empty: no movie; 2D only, of the frames of --every
    int fps = 10;
    PictureStyle picture; // colours, range, zoom and extras of every field picture

    std::vector<Sweep> sweeps;
    unsigned jobs = 0; // 0: one per hardware thread; never more than those
    unsigned threads = 0; // of each 2D step; 0: by the size (see shareCores)
    bool quiet = false;
    bool progress = false; // --progress: plain progress lines whatever standard error is
    Shard shard; // --shard I/K: only part I of K of a sweep's combinations
    bool merge = false; // --merge: join the parts of the shards into the sweep's CSV
    // The arguments as "NAME VALUE" (or "NAME"), in order, but for those that leave the results
    // alone (--shard, --merge, --jobs, --threads, --quiet, --progress): what a part and its
    // merge share.
    std::vector<std::string> identity;

    bool report = false; // --report: the run's state and wavelengths on standard output
    bool untilSteady = false; // --until steady
};

// One of the picture options into `style`; false for another option. Throws UsageError.
bool parsePictureOption(PictureStyle& style, std::string_view name, std::string_view value);
// The picture options against the rest; `given` the options seen. Throws UsageError.
void checkPictureOptions(const Options& options, const std::vector<std::string>& given);

// Parses argv[1..argc-1]. Throws UsageError. Checks the option combinations and the form of
// each value; the settings themselves go through the intake (see makeIntakeInput).
Options parseOptions(int argc, const char* const* argv);

// The model the arguments ask for (Gierer-Meinhardt without any). Throws UsageError naming
// the option: an unknown model name, a model file that cannot be read or compiled, rates that
// do not compile (the column and what was expected, or the names there are), a bad parameter.
runs::RunModel chooseModel(const ModelArguments& given);

// What a part of a split command and its merge must share about a typed model beyond the
// arguments: the SHA-256 of its full text, so that a model file changed between the parts is
// noticed. Empty for a built-in model.
std::string modelIdentity(const runs::RunModel& model);

// The folder of the shipped model files: the environment variable RDSIM_MODELS where it is
// set, else share/rdsim/models beside the program's own folder (../share/rdsim/models from
// bin/ once installed, and from the build tree's batch/ folder, where the build copies them).
std::filesystem::path modelsFolder();

// `rdsim-batch models`: every shipped model with its rates, parameters, settings and source.
// Returns the exit status.
int runModels(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// The run of one combination: the options' model, field, settings, start and steps, with
// `overrides` (one value per sweep, in the order of options.sweeps) in their settings (the
// seed's in the initial state).
runs::RunDescription runDescription(
    const Options& options, const std::vector<std::string>& overrides = {});

// The option a setting the intake refused came from, with its value: "--set \"kA=x\"",
// "--sweep kA value \"x\"", "--size \"5000\"" or "--every \"0\"".
std::string optionOf(const Options& options, const runs::SettingsError& e);
// A loaded field that cannot be used, as --load-u or --load-v with the file.
std::string loadErrorText(const Options& options, const runs::FieldFileError& e);

// Whether the run command has something to write: an output file, a sweep's table or
// --report. Without, it is refused as the other commands refuse it.
bool writesSomething(const Options& options);

// "I/K" with 1 <= I <= K <= kMaxShards. Throws UsageError naming --shard.
Shard parseShard(std::string_view text);

// The names of the settings and the models.
using runs::fieldByName;
using runs::modelNamesText;
using runs::settingName;
using runs::settingNames;
using runs::settingNamesText;
using runs::slotOf;

// The text of --help.
std::string helpText();

// The "%d" conversion of a frame name: empty when `name` has none, else the file name of
// frame `index`. Throws UsageError for a name with a malformed or second conversion.
bool hasFrameConversion(std::string_view name, std::string_view option = "--image");
std::string formatFrameName(std::string_view name, std::int64_t index);
// The literal texts ("%%" as "%") before and after the "%d" of a frame name; all in
// `before` for a name without one.
struct FrameNameParts {
    std::string before, after;
};
FrameNameParts frameNameParts(std::string_view name);

} // namespace rd::batch
