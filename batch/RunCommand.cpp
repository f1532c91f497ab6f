// The whole invocation: every combination checked before anything runs, the runs spread over
// worker threads, the reports, the sweep's CSV and the interrupt's one line.
#include "batch/RunCommand.h"

#include "batch/Interrupt.h"
#include "pictures/FieldPicture.h"
#include "pictures/Movie.h"
#include "pictures/ProfileImage.h"
#include "runs/CoreShare.h"
#include "runs/Record.h"
#include "runs/SeededStart.h"
#include "runs/Shards.h"
#include "runs/Workers.h"

#include <QGuiApplication>

#include <algorithm>
#include <new>
#include <thread>

namespace rd::batch {

using pictures::kMaxKymographPixels;
using pictures::PictureSize;
using pictures::PictureStyle;

namespace {

int exitStatusOf(RunStatus status)
{
    switch (status) {
    case RunStatus::Ok:
    case RunStatus::Interrupted:
        return kExitOk;
    case RunStatus::ArithmeticError:
        return kExitArithmetic;
    case RunStatus::OutputError:
        return kExitOutput;
    case RunStatus::OutOfMemory:
        break;
    }
    return kExitMemory;
}

} // namespace

namespace {

std::string mibText(std::int64_t pixels)
{
    // Four bytes a pixel, rounded up.
    return std::to_string((pixels * 4 + (std::int64_t { 1 } << 20) - 1) >> 20) + " MiB";
}

std::string sizeText(const PictureSize& size)
{
    return std::to_string(size.width) + " x " + std::to_string(size.height) + " pixels (about "
        + mibText(size.pixels()) + " to hold)";
}

// Refuses `option`'s picture of `size` beyond the pictures' limits, saying how large it
// would be and what to change.
void checkPicture(
    const std::string& option, const std::string& name, PictureSize size, const char* remedy)
{
    if (size.fits())
        return;
    throw UsageError(option + " \"" + name + "\": the picture would be " + sizeText(size)
        + "; at most " + std::to_string(pictures::kMaxPicturePixels) + " pixels and "
        + std::to_string(pictures::kMaxPictureSide) + " a side (" + remedy + ")");
}

} // namespace

void checkPictureSizes(const Options& o, std::int32_t nCells)
{
    const PictureStyle& style = o.picture;
    const std::int64_t n = nCells, zoom = style.zoom;
    const char* smaller = o.oneD ? "choose a smaller --zoom" : "choose a smaller --zoom or --size";
    if (!o.image.empty()) {
        // 1D: the two profile pictures, as the window draws them, zoomed; 2D: the field.
        const PictureSize size = o.oneD ? PictureSize { n * zoom, pictures::kProfileHeight * zoom }
                                        : pictures::decoratedSize(n * zoom, n * zoom, style);
        checkPicture("--image", o.image, size, smaller);
    }
    if (!o.movie.empty()) {
        const PictureSize frame = pictures::decoratedSize(n * zoom, n * zoom, style);
        const std::string format = pictures::movieFormat(o.movie);
        if (!pictures::movieFrameFits(format, frame.width, frame.height))
            throw UsageError("--movie \"" + o.movie + "\": the frames would be " + sizeText(frame)
                + "; ffmpeg takes at most (width + 128) x (height + 128) = "
                + std::to_string(pictures::kMaxMovieFramePadded - 1) + " pixels and "
                + std::to_string(pictures::movieSideLimit(format)) + " a side in " + format
                + ", and no picture is larger than " + std::to_string(pictures::kMaxPicturePixels)
                + " pixels (" + smaller + ")");
    }
    if (o.kymograph.empty())
        return;
    // The rows are held while the run lasts, a byte or a value a cell; then the picture.
    const std::int64_t rows = o.steps / std::max(o.every, 1) + 1;
    const std::int64_t pixels = rows * nCells;
    if (pixels > kMaxKymographPixels) {
        const std::int64_t mib = (pixels * 5 + (std::int64_t { 1 } << 20) - 1) >> 20;
        throw UsageError("--kymograph \"" + o.kymograph + "\": the picture would be "
            + std::to_string(nCells) + " x " + std::to_string(rows) + " pixels (about "
            + std::to_string(mib) + " MiB to hold); at most " + std::to_string(kMaxKymographPixels)
            + " pixels (choose a larger --every or fewer --steps)");
    }
    checkPicture("--kymograph", o.kymograph, pictures::decoratedSize(n * zoom, rows * zoom, style),
        "choose a smaller --zoom, a larger --every or fewer --steps");
}

int runBatch(const Options& given, bool progressWanted, std::FILE* err)
{
    if (given.merge)
        return mergeSweep(given, err);
    if (!writesSomething(given)) {
        std::fprintf(err,
            "rdsim-batch: nothing to write; give --save PREFIX, --image FILE, --kymograph FILE, "
            "--movie FILE or --report\n");
        return kExitUsage;
    }
    // Loaded fields without --size give their own, read once with the fields.
    Options o = given;
    LoadedFields loaded;
    if (o.init == InitKind::Load && o.sizeText.empty()) {
        try {
            loaded = runs::loadFields(
                runDescription(o).initial, 0, o.oneD, runs::signedFields(o.model));
        } catch (const runs::FieldFileError& e) {
            std::fprintf(err, "rdsim-batch: %s\n", loadErrorText(o, e).c_str());
            return kExitUsage;
        } catch (const std::bad_alloc&) {
            std::fprintf(err, "rdsim-batch: out of memory while loading the fields\n");
            return kExitMemory;
        }
        o.sizeText = std::to_string(loaded.side);
    }
    const auto combos = combinations(o);
    // A shard runs only its part of the combinations but checks them all, so that every
    // shard of a command refuses it alike.
    const std::vector<std::size_t> members = runs::shardMembers(combos.size(), o.shard);
    const std::filesystem::path csvPath
        = o.shard.active() ? runs::partPath(sweepCsvPath(o), o.shard) : sweepCsvPath(o);
    // Every combination's settings and output names are checked before anything runs or is
    // written; the states themselves are made by the workers, one at a time each.
    std::vector<Targets> targets;
    runs::CoreShare share;
    try {
        std::int32_t nCells = 0;
        for (const auto& values : combos) {
            const Prepared run = runs::prepare(runDescription(o, values), false);
            nCells = run.state.nCells;
            if (o.init == InitKind::Seeded)
                runs::seededStart(run, tagFor(o, values));
            if (o.report && nCells < 2)
                throw UsageError("--size \"" + o.sizeText
                    + "\": --report compares the field with the analysis, which needs at least "
                      "2 cells");
        }
        checkPictureSizes(o, nCells);
        share = runs::shareCores({ o.oneD, !o.sweeps.empty(), o.jobs, o.threads }, nCells,
            std::max<std::size_t>(members.size(), 1), std::thread::hardware_concurrency());
        for (const auto& values : combos)
            targets.push_back(targetsFor(o, tagFor(o, values)));
        checkCollisions(o, targets);
        if (o.init == InitKind::Load && loaded.side == 0)
            loaded = runs::loadFields(
                runDescription(o).initial, nCells, o.oneD, runs::signedFields(o.model));
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitUsage;
    } catch (const runs::SettingsError& e) {
        std::fprintf(err, "rdsim-batch: %s: %s\n", optionOf(given, e).c_str(), e.what());
        return kExitUsage;
    } catch (const runs::FieldFileError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", loadErrorText(o, e).c_str());
        return kExitUsage;
    } catch (const runs::SeededStartError& e) {
        std::fprintf(err, "rdsim-batch: --init \"seeded\": %s\n", e.what());
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "rdsim-batch: out of memory while preparing the runs\n");
        return kExitMemory;
    }
    try {
        for (const std::size_t k : members)
            checkTargets(targets[k], o.oneD);
        if (!o.sweeps.empty())
            output::checkReplaceable(csvPath);
    } catch (const OutputError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitOutput;
    }

    // Captions and colour-bar labels are text: a font database without a display. Any
    // picture or movie, even without text, needs Qt's application on this thread before the
    // workers make theirs (see pictureApplication).
    const bool drawsPictures = !o.image.empty() || !o.kymograph.empty() || !o.movie.empty();
    const auto app = drawsPictures ? pictures::pictureApplication(o.picture.needsText()) : nullptr;
    Progress progress(progressWanted || o.progress, std::int64_t { o.steps } * std::ssize(members),
        static_cast<int>(members.size()), "steps", o.progress);
    std::vector<RunReport> reports(combos.size());
    for (RunReport& r : reports) {
        r.status = RunStatus::Interrupted; // until the run has been made
        r.message = "interrupted before the run started";
    }
    auto runCombination = [&](std::size_t k) {
        try {
            const runs::RunDescription request = runDescription(o, combos[k]);
            Prepared run = runs::prepare(request);
            run.threads = share.threads;
            runs::initialise(run, request.initial, &loaded);
            const runs::RunFacts facts = runs::runFacts(request, run, loaded, kProgram);
            reports[k] = runOne(std::move(run), o, targets[k], facts, &progress);
        } catch (const std::bad_alloc&) {
            reports[k].status = RunStatus::OutOfMemory;
            reports[k].message = "out of memory before the first step";
        }
    };
    std::atomic<std::size_t> next { 0 };
    auto work = [&] {
        for (std::size_t i; interruptSignal() == 0 && (i = next++) < members.size();)
            runCombination(members[i]);
    };
    // At most one state per hardware thread is held at once, whatever --jobs asks.
    runs::runOnThreads(o.sweeps.empty() ? 1 : share.jobs, work);
    progress.finish();

    const int signal = interruptSignal();
    int status = kExitOk;
    std::size_t finished = 0;
    for (const std::size_t k : members) {
        const RunReport& r = reports[k];
        if (r.status != RunStatus::Interrupted)
            ++finished;
        if (r.status == RunStatus::Ok || r.status == RunStatus::Interrupted)
            continue;
        const std::string tag = tagFor(o, combos[k]);
        std::fprintf(err, "rdsim-batch: %s%s%s\n", tag.empty() ? "" : tag.c_str(),
            tag.empty() ? "" : ": ", r.message.c_str());
        status = std::max(status, exitStatusOf(r.status));
    }
    if (!o.sweeps.empty()) {
        try {
            if (o.shard.active()) {
                std::vector<std::string> rows;
                for (const std::size_t k : members)
                    rows.push_back(sweepCsvRow(k, combos[k], reports[k]));
                runs::writePart(sweepCsvPath(o), o.identity, o.shard, combos.size(), members, rows);
            } else {
                const std::string csv = sweepCsv(o, combos, reports);
                output::writeFileAtomically(
                    csvPath, std::as_bytes(std::span(csv.data(), csv.size())));
            }
        } catch (const OutputError& e) {
            std::fprintf(err, "rdsim-batch: %s\n", e.what());
            status = std::max(status, kExitOutput);
        } catch (const std::bad_alloc&) {
            std::fprintf(err, "rdsim-batch: out of memory while writing %s\n", csvPath.c_str());
            status = kExitMemory;
        }
    }
    std::vector<std::vector<std::string>> ownCombos;
    std::vector<RunReport> ownReports;
    for (const std::size_t k : o.report ? members : std::vector<std::size_t> {}) {
        ownCombos.push_back(combos[k]);
        ownReports.push_back(reports[k]);
    }
    if (o.report && printReports(o, ownCombos, ownReports, stdout) != 0) {
        std::fprintf(err, "rdsim-batch: standard output: the report could not be written\n");
        status = std::max(status, kExitOutput);
    }
    if (signal != 0) {
        if (o.sweeps.empty())
            std::fprintf(err, "rdsim-batch: %s\n",
                reports[0].status == RunStatus::Interrupted
                    ? reports[0].message.c_str()
                    : "interrupted after the run had finished");
        else
            std::fprintf(err,
                "rdsim-batch: interrupted; %zu of %zu runs finished, the rest are marked "
                "\"interrupted\" in %s\n",
                finished, members.size(), csvPath.c_str());
    }
    return status;
}

} // namespace rd::batch
