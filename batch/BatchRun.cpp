// One batch run: the steps as the window's run loop takes them, the samples along the way
// and the output files at the end.
#include "batch/BatchRun.h"

#include "batch/FieldPicture.h"
#include "batch/Interrupt.h"
#include "batch/Movie.h"
#include "batch/Npy.h"
#include "batch/ProfileImage.h"
#include "batch/Provenance.h"
#include "display/FieldImage.h"
#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "engine/StepThreads.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>

namespace rd::batch {

namespace {

// The caption of a picture: model, step and time.
std::string captionOf(const Prepared& run, std::int32_t step)
{
    char time[32];
    std::snprintf(time, sizeof time, "%g", static_cast<double>(step) * double { run.state.dt });
    return std::string(modelInfo(run.model).displayName) + "   step " + std::to_string(step)
        + "   t = " + time;
}

// The 2D field's picture by the style.
QImage fieldPictureOf(const Prepared& run, const PictureStyle& style, std::int32_t step)
{
    const SimState& s = run.state;
    const bool v = style.species == 'v';
    const auto cells = v ? currentV(s, false) : currentU(s, false);
    const float panelScale = v ? 255.0f / s.vMax : s.grayScale;
    QImage image = fieldPicture(cells, s.nCells, s.nCells, panelScale, style, captionOf(run, step));
    if (image.isNull())
        throw std::bad_alloc();
    return image;
}

// The SHA-256 of the run's current fields, for the records of its state.
std::string fieldsShaOf(const Prepared& run)
{
    return fieldsSha256(currentU(run.state, run.oneD), currentV(run.state, run.oneD));
}

// A picture with the record of the state it shows.
void addPicture(output::OutputSet& set, QImage image, const std::string& name,
    const RunFacts& facts, std::int32_t step, const std::string& fields,
    const std::vector<SavedFile>& saved)
{
    attachRecord(image, recordOf(facts, step, fields, name, saved));
    set.add(name, encodePicture(image, name));
}

// The picture of the state: the field in 2D (the window's grey one unless styled), the two
// profile plots in 1D (only zoomed).
void addStatePictures(output::OutputSet& set, const Prepared& run, const PictureStyle& style,
    const std::string& name, std::int32_t step, const RunFacts& facts, const std::string& fields,
    const std::vector<SavedFile>& saved = {})
{
    const SimState& s = run.state;
    if (run.oneD) {
        const std::string u = speciesName(name, 'u'), v = speciesName(name, 'v');
        const auto profile = [&](std::span<const float> cells, float range, QColor colour) {
            return zoomed(renderProfile(cells, range, colour), style.zoom);
        };
        addPicture(set, profile(currentU(s, true), s.uMax, QColor(255, 0, 0)), u, facts, step,
            fields, saved);
        addPicture(set, profile(currentV(s, true), s.vMax, QColor(0, 0, 255)), v, facts, step,
            fields, saved);
    } else {
        addPicture(set, fieldPictureOf(run, style, step), name, facts, step, fields, saved);
    }
}

void commitInto(output::OutputSet& set, std::vector<std::string>& files)
{
    const auto targets = set.targets();
    set.commit();
    for (const auto& t : targets)
        files.push_back(t.string());
}

std::vector<SavedFile> addFields(
    output::OutputSet& set, const Prepared& run, const std::string& prefix)
{
    std::vector<SavedFile> saved;
    const SimState& s = run.state;
    std::vector<std::int64_t> shape { s.nCells };
    if (!run.oneD)
        shape.push_back(s.nCells);
    for (const char species : { 'u', 'v' }) {
        const auto cells = species == 'u' ? currentU(s, run.oneD) : currentV(s, run.oneD);
        const std::string name = prefix + "-" + species + ".npy";
        auto bytes = npy::encode(shape, cells);
        saved.push_back({ species, name, bytesSha256(bytes) });
        set.add(name, std::move(bytes));
    }
    return saved;
}

std::string outputErrorText(const OutputError& e)
{
    std::string text = e.what();
    if (!e.replaced().empty()) {
        text += " (already replaced:";
        for (const auto& f : e.replaced())
            text += " \"" + f.string() + "\"";
        text += ")";
    }
    return text;
}

} // namespace

std::span<const float> currentU(const SimState& s, bool oneD)
{
    return rd::currentU(s, dimensionOf(oneD));
}

std::span<const float> currentV(const SimState& s, bool oneD)
{
    return rd::currentV(s, dimensionOf(oneD));
}

std::int32_t advance(Prepared& run, std::int32_t steps, std::int32_t every,
    const std::function<void(std::int32_t)>& sample,
    const std::function<bool(std::int32_t)>& progress)
{
    SimState& s = run.state;
    // The threads are kept for the whole run. Threads that cannot start leave the run on
    // this one, with the same results.
    std::optional<StepThreads> threads;
    if (!run.oneD && run.threads > 1) {
        try {
            threads.emplace(run.threads);
        } catch (const std::system_error&) { }
    }
    if (every > 0 && sample)
        sample(0);
    for (std::int32_t n = 1; n <= steps; ++n) {
        throwIfInterrupted();
        try {
            if (threads)
                threads->step2D(s, run.model, s.phaseA != kFalse);
            else
                step(s, run.model, dimensionOf(run.oneD));
        } catch (const EngineError& e) {
            throw StepFailed(e.what(), n);
        }
        if (every > 0 && n % every == 0 && sample)
            sample(n);
        if (progress && progress(n))
            return n;
    }
    return steps;
}

RunReport runOne(
    Prepared run, const Options& o, const Targets& t, const RunFacts& facts, Progress* progress)
{
    RunReport report;
    const bool frames = !t.image.empty() && hasFrameConversion(t.image);
    std::int64_t framesWritten = 0;
    std::int32_t reached = 0, reported = 0;
    // Which frames an ended sequence leaves, for the message.
    auto framesNote = [&]() -> std::string {
        if (!frames)
            return "";
        if (framesWritten == 0)
            return "; no frame was written";
        return "; frames 0 to " + std::to_string(framesWritten - 1) + " were written ("
            + report.files.front() + " to " + report.files.back() + ")";
    };
    auto interrupted = [&] {
        report.status = RunStatus::Interrupted;
        report.message = "interrupted after iteration " + std::to_string(reached)
            + (frames ? framesNote() : "; no file of the run was written");
    };
    std::optional<RunWatch> watch;
    try {
        if (o.report || o.untilSteady || !o.sweeps.empty())
            watch.emplace(
                run.model, run.oneD, run.state, currentU(run.state, run.oneD), o.untilSteady);
        std::optional<Kymograph> kymograph;
        if (!t.kymograph.empty())
            kymograph.emplace(
                run.state.nCells, run.state.grayScale, o.steps / o.every + 1, o.picture);
        std::optional<Movie> movie;
        if (!t.movie.empty())
            movie.emplace(t.movie, o.fps);
        const std::int32_t taken = advance(
            run, o.steps, frames || kymograph || movie ? o.every : 0,
            [&](std::int32_t n) {
                if (movie)
                    movie->addFrame(fieldPictureOf(run, o.picture, n));
                if (frames) {
                    output::OutputSet set;
                    addStatePictures(set, run, o.picture, formatFrameName(t.image, n / o.every), n,
                        facts, fieldsShaOf(run));
                    throwIfInterrupted();
                    commitInto(set, report.files);
                    ++framesWritten;
                }
                if (kymograph)
                    kymograph->addRow(currentU(run.state, run.oneD));
            },
            [&](std::int32_t n) {
                reached = n;
                const bool stop = watch && watch->afterStep(n, currentU(run.state, run.oneD));
                if (progress && progress->enabled() && (n % 16 == 0 || n == o.steps || stop)) {
                    progress->addSteps(n - reported);
                    reported = n;
                }
                return stop;
            });
        if (watch)
            report.findings = watch->finish(taken, currentU(run.state, run.oneD));
        // The final results only after the last step, and all together: a failed run leaves
        // none of them, and an earlier set stays whole.
        output::OutputSet set;
        std::vector<SavedFile> saved;
        if (!t.savePrefix.empty())
            saved = addFields(set, run, t.savePrefix);
        // Every output carries the record, so a run with none needs no hash.
        const std::string record = recordPath(t);
        const std::string fields = record.empty() ? std::string() : fieldsShaOf(run);
        if (!t.image.empty() && !frames)
            addStatePictures(set, run, o.picture, t.image, taken, facts, fields, saved);
        if (movie)
            set.add(t.movie, movie->finish());
        if (kymograph)
            addPicture(set, kymograph->image(captionOf(run, taken)), t.kymograph, facts, taken,
                fields, saved);
        if (!record.empty())
            set.add(record, recordBytes(recordOf(facts, taken, fields, record, saved)));
        throwIfInterrupted();
        commitInto(set, report.files);
    } catch (const StepFailed& e) {
        report.status = RunStatus::ArithmeticError;
        report.iteration = e.iteration();
        if (watch)
            report.findings = watch->failed(e.iteration());
        report.message = "iteration " + std::to_string(e.iteration()) + ": " + e.what();
        if (frames)
            report.message += framesNote() + ", showing the run up to the error";
    } catch (const OutputError& e) {
        report.status = RunStatus::OutputError;
        report.message = outputErrorText(e) + framesNote();
    } catch (const MovieError& e) {
        // An interrupt from the terminal reaches the encoder too, which then stops taking
        // frames: that is the interrupt, not a failed output.
        if (interruptSignal() != 0) {
            interrupted();
        } else {
            report.status = RunStatus::OutputError;
            report.message = e.what() + framesNote();
        }
    } catch (const Interrupted&) {
        interrupted();
    } catch (const std::bad_alloc&) {
        report.status = RunStatus::OutOfMemory;
        report.message = "out of memory after iteration " + std::to_string(reached) + framesNote();
    }
    if (progress) {
        if (report.findings.stoppedEarly)
            progress->runStopped(o.steps - reached, reached);
        progress->addSteps((report.findings.stoppedEarly ? reached : o.steps) - reported);
        progress->runDone();
    }
    return report;
}

} // namespace rd::batch
