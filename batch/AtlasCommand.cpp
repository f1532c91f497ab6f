#include "batch/AtlasCommand.h"

#include "batch/Interrupt.h"
#include "batch/OptionText.h"
#include "batch/RunCommand.h"
#include "output/OutputSet.h"
#include "pictures/MapPictures.h"
#include "runs/Errors.h"
#include "runs/Run.h"
#include "settings/NumberText.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <unistd.h>

namespace rd::batch {

namespace {

// A map of more points shows no more: its picture is 760 pixels square.
constexpr std::int64_t kMaxAnalyticPoints = 1 << 20;
constexpr std::int64_t kMaxSimulatedPoints = 10000;
constexpr int kMaxMosaicPixels = 16384;

// The map of the steps goes beside the mosaic: "map.png" gives "map-steps.png".
std::string stepsImageName(const std::string& image)
{
    const std::size_t dot = image.size() - 4; // the name ends in ".png", in any case
    return image.substr(0, dot) + "-steps" + image.substr(dot);
}

// A refusal of sweepValues names --sweep; the axis option is the one to name.
std::vector<std::string> axisValues(
    const std::string& option, const std::string& arg, const std::string& range)
{
    try {
        return sweepValues(arg, range);
    } catch (const UsageError& e) {
        std::string m = e.what();
        if (m.starts_with("--sweep"))
            m = option + m.substr(7);
        throw UsageError(m);
    }
}

runs::MapAxis parseAxis(const std::string& option, const std::string& arg, const Options& o)
{
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0)
        refuse(option, arg, "expected NAME=FROM:TO:COUNT");
    const std::string name = arg.substr(0, eq);
    const std::vector<std::string> values = axisValues(option, arg, arg.substr(eq + 1));
    try {
        return runs::mapAxis(runDescription(o), name, values);
    } catch (const runs::SettingsError& e) {
        refuse(option, arg, e.what());
    }
}

std::vector<std::byte> textBytes(const std::string& s)
{
    const auto* p = reinterpret_cast<const std::byte*>(s.data());
    return { p, p + s.size() };
}

// The option of a setting the map's intake refused: an axis's value, or the base's setting.
std::string settingOption(const AtlasArgs& a, const runs::SettingsError& e)
{
    for (const auto& [option, axis] :
        { std::pair { "--x", &a.map.x }, std::pair { "--y", &a.map.y } })
        if (axis->name == e.setting() && !e.text().empty())
            return std::string(option) + " " + axis->name + " value " + rd::quoted(e.text());
    return "--set " + e.setting();
}

// The runs of the map's points (of a.shard only, when it is active), with the progress line.
runs::SimulatedMap simulateAtlas(const AtlasArgs& a, bool progressWanted)
{
    // The prediction first: it also checks every value of both axes through the intake.
    runs::AnalyticMap prediction = runs::classifyMap(a.map, a.jobs);
    const std::size_t total = a.map.x.texts.size() * a.map.y.texts.size();
    const std::vector<std::size_t> members = runs::shardMembers(total, a.shard);
    const runs::CoreShare share
        = runs::shareCores({ a.options.oneD, true, a.options.jobs, a.options.threads },
            prediction.base.n, members.size(), std::thread::hardware_concurrency());
    Progress progress(progressWanted, std::int64_t { a.options.steps } * std::ssize(members),
        static_cast<int>(members.size()), "steps", a.options.progress);
    runs::MapHooks hooks;
    if (progress.enabled())
        hooks.stepsDone = [&](std::int64_t n) { progress.addSteps(n); };
    hooks.runDone = [&] { progress.runDone(); };
    hooks.stoppedEarly
        = [&](std::int32_t at) { progress.runStopped(std::int64_t { a.options.steps } - at, at); };
    hooks.cancelled = [] { return interruptSignal() != 0; };
    if (!a.image.empty())
        hooks.keep = [&a, n = prediction.base.n](std::span<const float> u) {
            return pictures::mosaicTile(u, n, a.options.oneD, a.tile);
        };
    runs::SimulatedMap map = runs::simulateMap(a.map, std::move(prediction), members, share, hooks);
    progress.finish();
    return map;
}

} // namespace

AtlasArgs parseAtlasArguments(int argc, const char* const* argv)
{
    AtlasArgs a;
    std::vector<std::string> passOn { "atlas" };
    std::string xArg, yArg, tileText, stepsText;
    std::vector<std::string> seen, simulationOnly;
    a.identity = { "atlas" };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string name = arg.substr(0, arg.find('='));
        const bool inlineValue = name != arg;
        if (isHelp(name) || name == "--simulate" || name == "--quiet" || name == "--progress"
            || name == "--merge") {
            if (inlineValue)
                refuse(name, arg.substr(name.size() + 1), "this option takes no value");
            if (isHelp(name))
                a.help = true;
            else if (name == "--simulate")
                a.simulate = true;
            else if (name == "--merge")
                a.merge = true;
            else
                passOn.push_back(name);
            if (isHelp(name) || name == "--simulate")
                a.identity.push_back(name);
            continue;
        }
        static constexpr std::string_view accepted[] = { "--model", "--dim", "--size", "--set",
            "--x", "--y", "--image", "--csv", "--steps", "--until", "--init", "--seed", "--tile",
            "--colormap", "--jobs", "--threads", "--shard" };
        if (std::find(std::begin(accepted), std::end(accepted), name) == std::end(accepted))
            throw UsageError(
                "unknown option " + quotedValue(name) + " (see rdsim-batch atlas --help)");
        std::string value;
        if (inlineValue) {
            value = arg.substr(name.size() + 1);
        } else {
            if (i + 1 >= argc)
                throw UsageError(name + ": a value is missing");
            value = argv[++i];
        }
        if (name != "--set") {
            if (std::find(seen.begin(), seen.end(), name) != seen.end())
                refuse(name, value, "this option is given more than once");
            seen.push_back(name);
        }
        if (name != "--jobs" && name != "--threads" && name != "--shard")
            a.identity.push_back(name + " " + value);
        if (name == "--steps" || name == "--until" || name == "--init" || name == "--seed"
            || name == "--tile" || name == "--colormap" || name == "--threads")
            simulationOnly.push_back(name);
        if (name == "--x") {
            xArg = value;
        } else if (name == "--y") {
            yArg = value;
        } else if (name == "--image" || name == "--csv") {
            if (value.empty())
                refuse(name, value, "a file name is needed");
            (name == "--image" ? a.image : a.csv) = value;
        } else if (name == "--shard") {
            a.shard = parseShard(value);
        } else if (name == "--tile") {
            const auto t = wholeNumber<int>(value);
            if (!t || *t < 8 || *t > 512)
                refuse(name, value, "not a whole number from 8 to 512");
            a.tile = *t;
        } else if (name == "--colormap") {
            const auto map = pictures::colormapByName(value);
            if (!map)
                refuse(name, value, "unknown colour table (" + pictures::colormapNamesText() + ")");
            a.colormap = *map;
        } else {
            if (name == "--steps")
                stepsText = value;
            if (name == "--init")
                a.initText = value;
            passOn.push_back(name + "=" + value);
        }
    }
    if (a.help)
        return a;
    std::vector<const char*> pass;
    for (const std::string& s : passOn)
        pass.push_back(s.c_str());
    a.options = parseOptions(static_cast<int>(pass.size()), pass.data());
    a.jobs = a.options.jobs;
    if (xArg.empty() || yArg.empty())
        throw UsageError(std::string(xArg.empty() ? "--x" : "--y")
            + ": the map needs both axes, --x NAME=FROM:TO:COUNT and --y NAME=FROM:TO:COUNT");
    a.map.base = runDescription(a.options);
    a.map.x = parseAxis("--x", xArg, a.options);
    a.map.y = parseAxis("--y", yArg, a.options);
    if (a.map.x.name == a.map.y.name)
        refuse("--y", yArg, "the two axes need two different settings");
    if (a.image.empty() && a.csv.empty())
        throw UsageError("atlas: nothing to write; give --image FILE.png, --csv FILE or both");
    if (!a.image.empty()) {
        std::string ext = a.image.substr(
            a.image.rfind('.') == std::string::npos ? a.image.size() : a.image.rfind('.') + 1);
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto slash = a.image.rfind('/');
        if (ext != "png" || a.image.size() - (slash == std::string::npos ? 0 : slash + 1) <= 4)
            refuse("--image", a.image, "the map is a PNG picture: a name ending in .png");
    }
    if (!a.image.empty() && a.image == a.csv)
        refuse("--csv", a.csv, "is also the --image file");
    if (a.options.untilSteady && !a.image.empty()) {
        a.stepsImage = stepsImageName(a.image);
        if (a.stepsImage == a.csv)
            refuse("--csv", a.csv, "is also the map of the steps beside the --image file");
    }
    const std::int64_t points
        = std::int64_t(a.map.x.texts.size()) * std::int64_t(a.map.y.texts.size());
    if (a.shard.active() && a.merge)
        throw UsageError("--merge: joins the parts that --shard runs; give one or the other");
    if ((a.shard.active() || a.merge) && !a.simulate)
        throw UsageError(std::string(a.merge ? "--merge" : "--shard")
            + ": splits the runs of a simulated map; needs --simulate");
    if (a.simulate) {
        if (stepsText.empty())
            throw UsageError("--simulate: needs --steps S, the steps of every run");
        if (points > kMaxSimulatedPoints)
            refuse("--x", xArg,
                "with --y, " + std::to_string(points) + " runs; a simulated map has at most "
                    + std::to_string(kMaxSimulatedPoints));
        const std::int64_t side
            = std::int64_t(std::max(a.map.x.texts.size(), a.map.y.texts.size())) * (a.tile + 2);
        if (side > kMaxMosaicPixels)
            throw UsageError("--tile " + std::to_string(a.tile) + ": the mosaic would be "
                + std::to_string(side) + " pixels wide; at most " + std::to_string(kMaxMosaicPixels)
                + " (choose a smaller --tile)");
    } else {
        if (!simulationOnly.empty())
            throw UsageError(
                simulationOnly.front() + ": belongs to a simulated map; needs --simulate");
        if (points > kMaxAnalyticPoints)
            refuse("--x", xArg,
                "with --y, " + std::to_string(points) + " points; a map has at most "
                    + std::to_string(kMaxAnalyticPoints));
    }
    return a;
}

int runAtlas(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    AtlasArgs a;
    try {
        a = parseAtlasArguments(argc, argv);
        if (a.help) {
            std::fputs(atlasHelpText().c_str(), out);
            return kExitOk;
        }
        // The start-up point's settings: refused here, before anything runs, naming the option.
        Prepared start;
        try {
            start = runs::prepare(a.map.base, false);
        } catch (const runs::SettingsError& e) {
            throw UsageError(optionOf(a.options, e) + ": " + e.what());
        }
        if (start.state.nCells < 2)
            throw UsageError(
                "--size \"" + a.options.sizeText + "\": the analysis needs at least 2 cells");
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch atlas: %s\n", e.what());
        return kExitUsage;
    }
    try {
        if (a.shard.active())
            output::checkReplaceable(runs::partPath(atlasPartOutput(a), a.shard));
        else
            for (const std::string* file : { &a.image, &a.stepsImage, &a.csv })
                if (!file->empty())
                    output::checkReplaceable(*file);
    } catch (const output::OutputError& e) {
        std::fprintf(err, "rdsim-batch atlas: %s\n", e.what());
        return kExitOutput;
    }
    installInterruptHandlers();
    const bool progressWanted = a.options.progress || (!a.options.quiet && ::isatty(2) == 1);
    const auto started = std::chrono::steady_clock::now();
    std::size_t points = a.map.x.texts.size() * a.map.y.texts.size();
    try {
        const auto app = a.image.empty() ? nullptr : pictures::offscreenApplication();
        output::OutputSet set;
        if (a.simulate) {
            const runs::SimulatedMap map
                = a.merge ? mergeAtlasParts(a) : simulateAtlas(a, progressWanted);
            if (interruptSignal() != 0) {
                std::fprintf(err, "rdsim-batch atlas: interrupted; nothing was written\n");
                return kExitOk;
            }
            if (a.shard.active()) {
                throwIfInterrupted();
                writeAtlasPart(a, map);
                const double seconds
                    = std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                          .count();
                std::fprintf(out, "shard %lld of %lld: %zu of %zu points in %.3f s\n",
                    static_cast<long long>(a.shard.index), static_cast<long long>(a.shard.count),
                    runs::shardMembers(points, a.shard).size(), points, seconds);
                return kExitOk;
            }
            if (!a.csv.empty())
                set.add(a.csv, textBytes(simulatedCsv(a, map)));
            const pictures::MosaicStyle style { a.tile, a.colormap, a.initText };
            if (!a.image.empty())
                set.add(a.image,
                    pictures::encodePicture(pictures::mosaicPicture(a.map, map, style), a.image));
            if (!a.stepsImage.empty())
                set.add(a.stepsImage,
                    pictures::encodePicture(
                        pictures::stepsPicture(a.map, map, style), a.stepsImage));
        } else {
            Progress progress(
                progressWanted, std::int64_t(points), 1, "points", a.options.progress);
            analyticAtlas(a, set, progress);
            progress.finish();
        }
        throwIfInterrupted();
        set.commit();
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch atlas: %s\n", e.what());
        return kExitUsage;
    } catch (const runs::SettingsError& e) {
        std::fprintf(err, "rdsim-batch atlas: %s: %s\n", settingOption(a, e).c_str(), e.what());
        return kExitUsage;
    } catch (const runs::MergeError& e) {
        std::fprintf(err, "rdsim-batch atlas: --merge: %s\n", e.what());
        return kExitUsage;
    } catch (const output::OutputError& e) {
        std::fprintf(err, "rdsim-batch atlas: %s\n", e.what());
        return kExitOutput;
    } catch (const Interrupted&) {
        std::fprintf(err, "rdsim-batch atlas: interrupted; nothing was written\n");
        return kExitOk;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "rdsim-batch atlas: out of memory\n");
        return kExitMemory;
    }
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(out, "%zu points in %.3f s\n", points, seconds);
    return kExitOk;
}

} // namespace rd::batch
