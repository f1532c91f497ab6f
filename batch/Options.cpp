// Parsing the command line of rdsim-batch into checked options.
#include "batch/Options.h"

#include "batch/OptionText.h"
#include "fieldfiles/Npy.h"
#include "pictures/Movie.h"
#include "runs/Errors.h"
#include "runs/Run.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace rd::batch {

namespace {

using pictures::ffmpegProgram;
using pictures::movieFormat;
using runs::kMaxSteps;
constexpr std::int64_t kMaxCombinations = 100000;
constexpr std::int64_t kMaxKymographRows = 65536;
constexpr unsigned kMaxJobs = 1024;
constexpr unsigned kMaxThreads = 256;

std::int32_t boundedInt(
    std::string_view option, std::string_view text, std::int32_t lo, std::int32_t hi)
{
    const auto v = wholeNumber<std::int64_t>(text);
    if (!v || *v < lo || *v > hi)
        refuse(option, text,
            "not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return static_cast<std::int32_t>(*v);
}

std::string lowerExtension(std::string_view name)
{
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

void requirePictureName(std::string_view option, std::string_view name)
{
    const std::string ext = lowerExtension(name);
    if (ext != "png" && ext != "bmp")
        refuse(option, name, "the file name must end in .png or .bmp");
    const auto slash = name.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (base.size() <= 4)
        refuse(option, name, "the file name has nothing before its extension");
}

struct RawAssignment {
    std::string option; // the whole argument for messages, e.g. "--set kA=0.05"
    std::string name, value;
};

std::pair<std::string, std::string> splitAssignment(std::string_view option, std::string_view arg)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0)
        refuse(option, arg, "expected NAME=VALUE");
    return { std::string(arg.substr(0, eq)), std::string(arg.substr(eq + 1)) };
}

// The setting `name` of the chosen model, for --set and --sweep.
void resolveName(
    const Options& o, std::string_view option, std::string_view arg, const std::string& name)
{
    const std::vector<std::string> names = settingNames(o.model);
    if (std::find(names.begin(), names.end(), name) != names.end())
        return;
    const Model* builtIn = std::get_if<Model>(&o.model);
    if (builtIn && fieldByName(name))
        refuse(option, arg,
            "the " + std::string(modelInfo(*builtIn).displayName) + " model has no setting "
                + name);
    refuse(option, arg, "unknown setting \"" + name + "\" (" + settingNamesText(o.model) + ")");
}

} // namespace

Options parseOptions(int argc, const char* const* argv)
{
    Options o;
    std::vector<RawAssignment> sets, sweeps;
    ModelArguments modelArgs;
    std::optional<std::string> initText, seedText, everyText;
    std::vector<std::string> given; // single-valued options seen

    auto keepIdentity = [&o](const std::string& name, const std::optional<std::string>& value) {
        static constexpr std::string_view kNotIdentity[]
            = { "--shard", "--merge", "--jobs", "--threads", "--quiet", "--progress" };
        if (std::find(std::begin(kNotIdentity), std::end(kNotIdentity), name)
            == std::end(kNotIdentity))
            o.identity.push_back(value ? name + " " + *value : name);
    };
    for (int a = 1; a < argc; ++a) {
        std::string arg = argv[a];
        if (arg == "-h")
            arg = "--help";
        if (!arg.starts_with("--"))
            throw UsageError("unexpected argument " + quotedValue(arg) + " (see --help)");
        std::string name = arg, value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto flag = [&](bool& target) {
            if (hasValue)
                refuse(name, value, "this option takes no value");
            target = true;
            keepIdentity(name, std::nullopt);
        };
        if (name == "--help") {
            flag(o.help);
            continue;
        }
        if (name == "--version") {
            flag(o.version);
            continue;
        }
        if (name == "--quiet" || name == "--progress" || name == "--report" || name == "--colorbar"
            || name == "--annotate" || name == "--merge" || name == "--no-clamp") {
            if (std::find(given.begin(), given.end(), name) == given.end())
                given.push_back(name);
            flag(name == "--quiet"         ? o.quiet
                    : name == "--progress" ? o.progress
                    : name == "--report"   ? o.report
                    : name == "--merge"    ? o.merge
                    : name == "--no-clamp" ? modelArgs.noClamp
                    : name == "--colorbar" ? o.picture.colorbar
                                           : o.picture.annotate);
            continue;
        }
        static constexpr std::string_view withValue[]
            = { "--model", "--model-file", "--rate-u", "--rate-v", "--param", "--dim", "--size",
                  "--steps", "--set", "--init", "--seed", "--load-u", "--load-v", "--save",
                  "--image", "--every", "--kymograph", "--sweep", "--jobs", "--threads", "--until",
                  "--colormap", "--range", "--zoom", "--species", "--movie", "--fps", "--shard" };
        if (std::find(std::begin(withValue), std::end(withValue), name) == std::end(withValue))
            throw UsageError("unknown option " + quotedValue(name) + " (see --help)");
        if (!hasValue) {
            if (a + 1 >= argc)
                throw UsageError(name + ": a value is missing");
            value = argv[++a];
        }
        keepIdentity(name, value);
        if (name != "--set" && name != "--sweep" && name != "--param") {
            if (std::find(given.begin(), given.end(), name) != given.end())
                refuse(name, value, "this option is given more than once");
            given.push_back(name);
        }

        if (parsePictureOption(o.picture, name, value)) {
        } else if (name == "--model" || name == "--model-file" || name == "--rate-u"
            || name == "--rate-v") {
            (name == "--model"               ? modelArgs.name
                    : name == "--model-file" ? modelArgs.file
                    : name == "--rate-u"     ? modelArgs.rateU
                                             : modelArgs.rateV)
                = value;
        } else if (name == "--param") {
            modelArgs.params.push_back(value);
        } else if (name == "--dim") {
            if (value != "1" && value != "2")
                refuse(name, value, "the dimension is 1 or 2");
            o.oneD = value == "1";
        } else if (name == "--size") {
            o.sizeText = value; // the intake converts and checks it, as the window's box
        } else if (name == "--steps") {
            o.steps = boundedInt(name, value, 0, kMaxSteps);
        } else if (name == "--set") {
            auto [n, v] = splitAssignment(name, value);
            sets.push_back({ "--set " + value, n, v });
        } else if (name == "--sweep") {
            auto [n, v] = splitAssignment(name, value);
            sweeps.push_back({ "--sweep " + value, n, v });
        } else if (name == "--init") {
            if (value != "zero" && value != "random" && value != "seeded")
                refuse(name, value, "the initial state is zero, random or seeded");
            initText = value;
        } else if (name == "--seed") {
            const auto s = wholeNumber<std::uint64_t>(value);
            if (!s)
                refuse(name, value, "not a whole number from 0 to 18446744073709551615");
            o.seed = *s;
            seedText = value;
        } else if (name == "--load-u" || name == "--load-v" || name == "--save" || name == "--image"
            || name == "--kymograph") {
            if (value.empty())
                refuse(name, value, "a file name is needed");
            (name == "--load-u"          ? o.loadU
                    : name == "--load-v" ? o.loadV
                    : name == "--save"   ? o.savePrefix
                    : name == "--image"  ? o.image
                                         : o.kymograph)
                = value;
        } else if (name == "--movie") {
            if (movieFormat(value).empty())
                refuse(name, value, "the file name must end in .mp4, .webm, .gif or .apng");
            o.movie = value;
        } else if (name == "--fps") {
            o.fps = boundedInt(name, value, 1, 240);
        } else if (name == "--every") {
            o.every = boundedInt(name, value, 1, kMaxSteps);
            everyText = value;
        } else if (name == "--until") {
            if (value != "steady")
                refuse(name, value, "the only condition is steady");
            o.untilSteady = true;
        } else if (name == "--jobs") {
            o.jobs = static_cast<unsigned>(boundedInt(name, value, 1, kMaxJobs));
        } else if (name == "--shard") {
            o.shard = parseShard(value);
        } else if (name == "--threads") {
            o.threads = static_cast<unsigned>(boundedInt(name, value, 1, kMaxThreads));
        }
    }
    if (o.help || o.version)
        return o;

    // The model, then --set by its settings' names.
    o.model = chooseModel(modelArgs);
    if (const std::string id = modelIdentity(o.model); !id.empty())
        o.identity.push_back(id);
    std::vector<std::string> named;
    auto claim = [&](const RawAssignment& r) {
        if (std::find(named.begin(), named.end(), r.name) != named.end())
            refuse(r.option.substr(0, r.option.find(' ')), r.option.substr(r.option.find(' ') + 1),
                "the setting " + r.name + " is given more than once");
        named.push_back(r.name);
    };
    for (const RawAssignment& r : sets) {
        resolveName(o, "--set", r.name + "=" + r.value, r.name);
        claim(r);
        o.settings[r.name] = r.value;
    }
    std::int64_t combinations = 1;
    std::optional<std::string> seedSweep; // the argument of --sweep seed=...
    for (const RawAssignment& r : sweeps) {
        const std::string arg = r.name + "=" + r.value;
        if (r.name == "seed") {
            if (seedSweep)
                refuse("--sweep", arg, "the seed is swept more than once");
            seedSweep = arg;
            o.sweeps.push_back({ r.name, seedSweepValues(arg, r.value) });
        } else {
            resolveName(o, "--sweep", arg, r.name);
            claim(r);
            o.sweeps.push_back({ r.name, sweepValues(arg, r.value) });
        }
        combinations *= static_cast<std::int64_t>(o.sweeps.back().values.size());
        if (combinations > kMaxCombinations)
            refuse("--sweep", arg,
                "the sweeps give more than " + std::to_string(kMaxCombinations) + " combinations");
    }

    // The initial state.
    if (!o.loadU.empty() || !o.loadV.empty()) {
        if (o.loadU.empty() || o.loadV.empty())
            throw UsageError(std::string(o.loadU.empty() ? "--load-v" : "--load-u") + " "
                + quotedValue(o.loadU.empty() ? o.loadV : o.loadU)
                + ": --load-u and --load-v go together");
        if (initText)
            refuse("--init", *initText, "cannot be combined with --load-u and --load-v");
        o.init = InitKind::Load;
    } else if (initText == "random" || initText == "seeded") {
        o.init = initText == "random" ? InitKind::Random : InitKind::Seeded;
        if (!seedText && !seedSweep)
            refuse("--init", *initText,
                "needs --seed K (or --sweep seed=FROM:TO:COUNT), so that the run can be repeated");
    }
    if (seedText && o.init != InitKind::Random && o.init != InitKind::Seeded)
        refuse("--seed", *seedText, "needs --init random or --init seeded");
    if (seedSweep && o.init != InitKind::Random && o.init != InitKind::Seeded)
        refuse("--sweep", *seedSweep, "sweeps the seed of --init random or --init seeded");
    if (seedSweep && seedText)
        refuse("--seed", *seedText, "the seed is also swept (--sweep " + *seedSweep + ")");
    // Loaded fields bring their own size.
    if (o.init == InitKind::Load && std::find(given.begin(), given.end(), "--size") == given.end())
        o.sizeText.clear();
    if (o.quiet && o.progress)
        throw UsageError("--quiet: cannot be combined with --progress");

    // A split sweep: the parts and their join are the same command but for these.
    if (o.shard.active() && o.merge)
        throw UsageError("--merge: joins the parts that --shard runs; give one or the other");
    if ((o.shard.active() || o.merge) && o.sweeps.empty())
        throw UsageError(std::string(o.merge ? "--merge" : "--shard")
            + ": splits the combinations of a sweep; needs --sweep");

    // "%%" is one "%" in every output name; only --image and --save take a "%d", and keep it
    // with their "%%" for each frame's name.
    const bool saveFrames = !o.savePrefix.empty() && hasFrameConversion(o.savePrefix, "--save");
    if (saveFrames && !everyText)
        refuse("--save", o.savePrefix, "a name with %d saves the fields and needs --every K");
    if (!o.savePrefix.empty() && !saveFrames)
        o.savePrefix = formatFrameName(o.savePrefix, 0);
    if (!o.kymograph.empty()) {
        if (hasFrameConversion(o.kymograph, "--kymograph"))
            refuse(
                "--kymograph", o.kymograph, "the name takes no %d (write %% for a percent sign)");
        o.kymograph = formatFrameName(o.kymograph, 0);
    }

    // Pictures.
    const bool frames = !o.image.empty() && hasFrameConversion(o.image);
    if (!o.image.empty())
        requirePictureName("--image", formatFrameName(o.image, 0));
    if (frames && !everyText)
        refuse("--image", o.image, "a name with %d writes frames and needs --every K");
    if (!o.kymograph.empty()) {
        if (!o.oneD)
            refuse("--kymograph", o.kymograph, "a kymograph is a picture of a line; needs --dim 1");
        requirePictureName("--kymograph", o.kymograph);
        const std::int64_t rows = o.steps / std::max(o.every, 1) + 1;
        if (rows > kMaxKymographRows)
            refuse(everyText ? "--every" : "--kymograph", everyText ? *everyText : o.kymograph,
                "the kymograph would have " + std::to_string(rows) + " rows; at most "
                    + std::to_string(kMaxKymographRows) + " (choose a larger --every)");
    }
    if (!o.movie.empty()) {
        if (o.oneD)
            refuse("--movie", o.movie, "a movie shows a 2D field; a 1D run has --kymograph");
        if (!everyText)
            refuse("--movie", o.movie, "needs --every K, the steps between its frames");
        if (hasFrameConversion(o.movie, "--movie"))
            refuse("--movie", o.movie, "the name takes no %d (write %% for a percent sign)");
        o.movie = formatFrameName(o.movie, 0);
        if (ffmpegProgram().empty())
            refuse("--movie", o.movie,
                "ffmpeg was not found on the PATH; it makes the movies (install ffmpeg)");
    }
    if (everyText && !frames && !saveFrames && o.kymograph.empty() && o.movie.empty())
        refuse("--every", *everyText,
            "needs --image or --save with %d in its name, --kymograph or --movie");
    checkPictureOptions(o, given);
    if (o.every == 0 && !o.kymograph.empty())
        o.every = 1;
    return o;
}

bool writesSomething(const Options& o)
{
    return !o.savePrefix.empty() || !o.image.empty() || !o.kymograph.empty() || !o.movie.empty()
        || !o.sweeps.empty() || o.report;
}

Shard parseShard(std::string_view text)
{
    const auto slash = text.find('/');
    const auto i = wholeNumber<std::int64_t>(text.substr(0, slash));
    const auto k = slash == std::string_view::npos
        ? std::nullopt
        : wholeNumber<std::int64_t>(text.substr(slash + 1));
    if (!i || !k || *i < 1 || *i > *k || *k > runs::kMaxShards)
        refuse("--shard", text,
            "expected I/K, part I of K, with 1 <= I <= K <= " + std::to_string(runs::kMaxShards));
    return { *i, *k };
}

} // namespace rd::batch
