// One run of the run command: its steps with the samples along the way (frames, kymograph
// rows, a movie's frames) and its output files at the end.
#include "batch/RunCommand.h"

#include "batch/Interrupt.h"
#include "engine/Quoted.h"
#include "pictures/Movie.h"
#include "pictures/PictureRecord.h"
#include "pictures/ProfileImage.h"
#include "pictures/RunPictures.h"
#include "runs/Record.h"
#include "runs/SavedFields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>

namespace rd::batch {

namespace {

using namespace rd::pictures;
using runs::currentU;
using runs::currentV;
using runs::RunFacts;
using runs::RunWatch;
using runs::SavedFile;

// The SHA-256 of the run's current fields, for the records of its state.
std::string fieldsShaOf(const Prepared& run)
{
    return runs::fieldsSha256(currentU(run.state, run.oneD), currentV(run.state, run.oneD));
}

// Files made but not yet handed to an output set.
using Made = std::vector<std::pair<std::string, std::vector<std::byte>>>;

// A picture with the record of the state it shows.
Made pictureFile(QImage image, const std::string& name, const RunFacts& facts, std::int32_t step,
    const std::string& fields, const std::vector<SavedFile>& saved)
{
    attachRecord(image, runs::recordOf(facts, step, fields, name, saved));
    Made made;
    made.emplace_back(name, encodePicture(image, name));
    return made;
}

// The picture of the state: the field in 2D (the window's grey one unless styled), the two
// profile plots in 1D (only zoomed); both or neither.
Made statePictures(const Prepared& run, const PictureStyle& style, const std::string& name,
    std::int32_t step, const RunFacts& facts, const std::string& fields,
    const std::vector<SavedFile>& saved = {})
{
    if (!run.oneD)
        return pictureFile(fieldPictureOf(run, style, step), name, facts, step, fields, saved);
    Made made;
    for (const char species : { 'u', 'v' }) {
        const std::string file = speciesName(name, species);
        made.push_back(std::move(pictureFile(
            profilePictureOf(run, species, style.zoom), file, facts, step, fields, saved)
                                     .front()));
    }
    return made;
}

void addMade(output::OutputSet& set, Made made)
{
    for (auto& [name, bytes] : made)
        set.add(name, std::move(bytes));
}

void commitInto(output::OutputSet& set, std::vector<std::string>& files)
{
    const auto targets = set.targets();
    set.commit();
    for (const auto& t : targets)
        files.push_back(t.string());
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

RunReport runOne(
    Prepared run, const Options& o, const Targets& t, const RunFacts& facts, Progress* progress)
{
    RunReport report;
    // Frames: pictures, fields with their records, or both, every --every steps.
    const bool pictureFrames = !t.image.empty() && hasFrameConversion(t.image);
    const bool fieldFrames = !t.savePrefix.empty() && hasFrameConversion(t.savePrefix);
    const bool frames = pictureFrames || fieldFrames;
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
            watch.emplace(run, currentU(run.state, run.oneD), o.untilSteady);
        std::optional<Kymograph> kymograph;
        if (!t.kymograph.empty())
            kymograph.emplace(
                run.state.nCells, run.state.grayScale, o.steps / o.every + 1, o.picture);
        runs::StepHooks hooks;
        hooks.cancelled = [] { return interruptSignal() != 0; };
        std::optional<Movie> movie;
        if (!t.movie.empty())
            movie.emplace(t.movie, o.fps, hooks.cancelled);
        hooks.sample = [&](std::int32_t n) {
            if (movie)
                movie->addFrame(fieldPictureOf(run, o.picture, n));
            if (frames) {
                // A frame's files appear together: its fields, its picture, its record.
                output::OutputSet set;
                const std::string fields = fieldsShaOf(run);
                std::vector<SavedFile> saved;
                const Targets frame { fieldFrames ? formatFrameName(t.savePrefix, n / o.every) : "",
                    pictureFrames ? formatFrameName(t.image, n / o.every) : "", "", "" };
                if (fieldFrames)
                    saved = runs::addFields(set, run, frame.savePrefix);
                if (pictureFrames)
                    addMade(
                        set, statePictures(run, o.picture, frame.image, n, facts, fields, saved));
                if (const std::string record = recordPath(frame); fieldFrames && !record.empty())
                    set.add(
                        record, runs::recordBytes(runs::recordOf(facts, n, fields, record, saved)));
                throwIfInterrupted();
                commitInto(set, report.files);
                ++framesWritten;
            }
            if (kymograph)
                kymograph->addRow(currentU(run.state, run.oneD));
        };
        hooks.progress = [&](std::int32_t n) {
            reached = n;
            const bool stop = watch && watch->afterStep(n, currentU(run.state, run.oneD));
            if (progress && progress->enabled() && (n % 16 == 0 || n == o.steps || stop)) {
                progress->addSteps(n - reported);
                reported = n;
            }
            return stop;
        };
        const std::int32_t taken
            = runs::advance(run, o.steps, frames || kymograph || movie ? o.every : 0, hooks);
        if (watch)
            report.findings = watch->finish(
                taken, currentU(run.state, run.oneD), currentV(run.state, run.oneD));
        // The final results only after the last step, and all together: a failed run leaves
        // none of them, and an earlier set stays whole.
        output::OutputSet set;
        std::vector<SavedFile> saved;
        if (!t.savePrefix.empty() && !fieldFrames)
            saved = runs::addFields(set, run, t.savePrefix);
        // Every output carries the record, so a run with none needs no hash.
        const std::string record = recordPath(t);
        const std::string fields = record.empty() ? std::string() : fieldsShaOf(run);
        // A picture that cannot be made after all, or a movie its encoder could not finish,
        // costs only itself: the fields, the record and the other pictures are still written.
        std::vector<std::string> failed;
        RunStatus failure = RunStatus::Ok;
        const auto attempt = [&](const char* option, const std::string& name, auto make) {
            try {
                addMade(set, make());
            } catch (const std::bad_alloc&) {
                failed.push_back(std::string(option) + " " + rd::quoted(name)
                    + ": out of memory while it was made");
                failure = RunStatus::OutOfMemory;
            } catch (const MovieError& e) {
                if (interruptSignal() != 0)
                    throw;
                failed.push_back(std::string(option) + " " + e.what());
                failure = failure == RunStatus::Ok ? RunStatus::OutputError : failure;
            }
        };
        if (!t.image.empty() && !pictureFrames)
            attempt("--image", t.image, [&] {
                return statePictures(run, o.picture, t.image, taken, facts, fields, saved);
            });
        if (movie)
            attempt("--movie", t.movie, [&] { return Made { { t.movie, movie->finish() } }; });
        if (kymograph)
            attempt("--kymograph", t.kymograph, [&] {
                return pictureFile(kymograph->image(runCaption(run, taken)), t.kymograph, facts,
                    taken, fields, saved);
            });
        // The record goes with what it describes: not alone, when every output failed.
        if (!record.empty() && (failed.empty() || !set.targets().empty()))
            set.add(record, runs::recordBytes(runs::recordOf(facts, taken, fields, record, saved)));
        throwIfInterrupted();
        const std::size_t earlier = report.files.size(); // the frames
        commitInto(set, report.files);
        if (!failed.empty()) {
            report.status = failure;
            for (const std::string& f : failed)
                report.message += (report.message.empty() ? "" : "; ") + f;
            std::string written;
            for (std::size_t k = earlier; k < report.files.size(); ++k)
                written += (written.empty() ? "" : ", ") + rd::quoted(report.files[k]);
            report.message += written.empty() ? "; nothing else was to be written"
                                              : "; written all the same: " + written;
        }
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
        // The steps taken: a run that failed or was interrupted does not count as done.
        progress->addSteps(reached - reported);
        progress->runDone();
    }
    return report;
}

} // namespace rd::batch
