#include "BatchRun.h"

#include "EngineError.h"
#include "FieldImage.h"
#include "FieldInit.h"
#include "Intake.h"
#include "Integrators.h"
#include "Interrupt.h"
#include "Npy.h"
#include "ProfileImage.h"
#include "StepThreads.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <system_error>

namespace rd::batch {

namespace {

std::string inQuotes(std::string_view s)
{
    return "\"" + std::string(s) + "\"";
}

// The option a refused intake box came from, with its value, for the one-line message.
std::string optionOfBox(const Options& o, int boxIndex, const std::vector<std::string>& overrides)
{
    if (boxIndex == kSizeBox)
        return "--size " + inQuotes(o.sizeText);
    if (boxIndex == kItersBox)
        return "--every " + inQuotes(std::to_string(o.every));
    const int slot = boxIndex - 10 * modelNumber(o.model);
    for (std::size_t k = 0; k < o.sweeps.size() && k < overrides.size(); ++k)
        if (slotOf(o.model, o.sweeps[k].field) == slot)
            return "--sweep " + o.sweeps[k].name + " value " + inQuotes(overrides[k]);
    for (const auto& [name, field] :
        { std::pair { "uMax", BoxField::UMax }, { "vMax", BoxField::VMax },
            { "scale", BoxField::ScalingFactor }, { "Du", BoxField::Du }, { "Dv", BoxField::Dv },
            { "kA", BoxField::KA }, { "kB", BoxField::KB }, { "kC", BoxField::KC } })
        if (slotOf(o.model, field) == slot)
            return "--set "
                + inQuotes(std::string(name) + "=" + o.boxes[static_cast<std::size_t>(slot)]);
    return "--set";
}

std::span<const float> cellsOf(const std::vector<float>& a, const SimState& s, bool oneD)
{
    const auto n = static_cast<std::size_t>(s.nCells);
    return { a.data(), oneD ? n : n * n };
}

// Pictures are encoded in memory; a null image or a failed encoding into memory can only
// come from a want of memory.
std::vector<std::byte> encodePicture(const QImage& image, const std::string& name)
{
    if (image.isNull())
        throw std::bad_alloc();
    const std::string ext = name.substr(name.rfind('.') + 1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray::fromStdString(ext).toLower());
    if (!writer.write(image))
        throw std::bad_alloc();
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return { p, p + bytes.size() };
}

// The picture of the state as the window shows it: the grey field in 2D, the two profile
// plots in 1D.
void addStatePictures(output::OutputSet& set, const Prepared& run, const std::string& name)
{
    const SimState& s = run.state;
    if (run.oneD) {
        const std::string u = speciesName(name, 'u'), v = speciesName(name, 'v');
        set.add(u, encodePicture(renderProfile(currentU(s, true), s.uMax, QColor(255, 0, 0)), u));
        set.add(v, encodePicture(renderProfile(currentV(s, true), s.vMax, QColor(0, 0, 255)), v));
    } else {
        set.add(name,
            encodePicture(renderField(currentU(s, false).data(), s.nCells, s.grayScale), name));
    }
}

void commitInto(output::OutputSet& set, std::vector<std::string>& files)
{
    const auto targets = set.targets();
    set.commit();
    for (const auto& t : targets)
        files.push_back(t.string());
}

void addFields(output::OutputSet& set, const Prepared& run, const std::string& prefix)
{
    const SimState& s = run.state;
    std::vector<std::int64_t> shape { s.nCells };
    if (!run.oneD)
        shape.push_back(s.nCells);
    for (const char species : { 'u', 'v' }) {
        const auto cells = species == 'u' ? currentU(s, run.oneD) : currentV(s, run.oneD);
        const std::string name = prefix + "-" + species + ".npy";
        set.add(name, npy::encode(shape, cells));
    }
}

std::string withTagBeforeExtension(const std::string& name, const std::string& tag)
{
    if (tag.empty())
        return name;
    const auto dot = name.rfind('.');
    return name.substr(0, dot) + "-" + tag + name.substr(dot);
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

Prepared prepareSettings(
    const Options& o, const std::vector<std::string>& overrides, bool withArrays)
{
    IntakeInput in = makeIntakeInput(o, overrides);
    if (o.every > 0)
        in.itersText = std::to_string(o.every);
    Prepared run;
    run.model = o.model;
    run.oneD = o.oneD;
    const auto result = evaluateIntake(in, run.state.dt, run.state.dx);
    if (const auto* e = std::get_if<IntakeError>(&result))
        throw UsageError(optionOfBox(o, e->boxIndex, overrides) + ": " + e->message);
    const auto& values = std::get<IntakeValues>(result);
    applyIntake(run.state, values);
    if (withArrays)
        run.state.resizeArrays(o.oneD ? run.state.highestIndex1D() : run.state.highestIndex2D());
    return run;
}

LoadedFields loadFields(const Options& o, std::int32_t nCells)
{
    LoadedFields f;
    std::vector<std::int64_t> want { nCells };
    if (!o.oneD)
        want.push_back(nCells);
    for (const auto& [option, file, target] :
        { std::tuple { "--load-u", &o.loadU, &f.u }, std::tuple { "--load-v", &o.loadV, &f.v } }) {
        auto decoded = npy::load(*file);
        if (const auto* why = std::get_if<std::string>(&decoded))
            throw UsageError(std::string(option) + " " + inQuotes(*file) + ": " + *why);
        auto& array = std::get<npy::Array>(decoded);
        if (array.shape != want)
            throw UsageError(std::string(option) + " " + inQuotes(*file) + ": shape "
                + npy::shapeText(array.shape) + " does not match --size " + std::to_string(nCells)
                + " --dim " + (o.oneD ? "1" : "2") + ", which need " + npy::shapeText(want));
        *target = std::move(array.data);
    }
    return f;
}

void initialise(Prepared& run, const Options& o, const LoadedFields* loaded)
{
    SimState& s = run.state;
    switch (o.init) {
    case InitKind::Zero:
        clearField(s, run.oneD);
        break;
    case InitKind::Random: {
        UniformSource rng(o.seed);
        fillRandom(s, run.oneD, rng);
        break;
    }
    case InitKind::Load:
        std::copy(loaded->u.begin(), loaded->u.end(), s.uA.begin());
        std::copy(loaded->v.begin(), loaded->v.end(), s.vA.begin());
        break;
    }
}

std::span<const float> currentU(const SimState& s, bool oneD)
{
    return cellsOf(oneD || s.phaseA ? s.uA : s.uB, s, oneD);
}

std::span<const float> currentV(const SimState& s, bool oneD)
{
    return cellsOf(oneD || s.phaseA ? s.vA : s.vB, s, oneD);
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
            if (run.oneD)
                Step1D(s, run.model);
            else if (threads)
                threads->step2D(s, run.model, s.phaseA != kFalse);
            else if (s.phaseA)
                Step2DFromA(s, run.model);
            else
                Step2DFromB(s, run.model);
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

std::string tagFor(const Options& o, const std::vector<std::string>& values)
{
    std::string tag;
    for (std::size_t k = 0; k < o.sweeps.size() && k < values.size(); ++k) {
        if (!tag.empty())
            tag += '-';
        tag += o.sweeps[k].name + "=" + values[k];
    }
    return tag;
}

Targets targetsFor(const Options& o, const std::string& tag)
{
    Targets t;
    if (!o.savePrefix.empty())
        t.savePrefix = tag.empty() ? o.savePrefix : o.savePrefix + "-" + tag;
    t.image = o.image.empty() ? o.image : withTagBeforeExtension(o.image, tag);
    t.kymograph = o.kymograph.empty() ? o.kymograph : withTagBeforeExtension(o.kymograph, tag);
    return t;
}

std::string speciesName(const std::string& picture, char species)
{
    const auto dot = picture.rfind('.');
    return picture.substr(0, dot) + "-" + species + picture.substr(dot);
}

void checkTargets(const Targets& t, bool oneD)
{
    if (!t.savePrefix.empty())
        for (const char* suffix : { "-u.npy", "-v.npy" })
            output::checkReplaceable(t.savePrefix + suffix);
    if (!t.image.empty()) {
        const std::string first = formatFrameName(t.image, 0);
        if (oneD) {
            output::checkReplaceable(speciesName(first, 'u'));
            output::checkReplaceable(speciesName(first, 'v'));
        } else {
            output::checkReplaceable(first);
        }
    }
    if (!t.kymograph.empty())
        output::checkReplaceable(t.kymograph);
}

RunReport runOne(Prepared run, const Options& o, const Targets& t, Progress* progress)
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
    std::optional<RunWatch> watch;
    try {
        if (o.report || o.untilSteady || !o.sweeps.empty())
            watch.emplace(
                run.model, run.oneD, run.state, currentU(run.state, run.oneD), o.untilSteady);
        std::optional<Kymograph> kymograph;
        if (!t.kymograph.empty())
            kymograph.emplace(run.state.nCells, run.state.grayScale, o.steps / o.every + 1);
        const std::int32_t taken = advance(
            run, o.steps, frames || kymograph ? o.every : 0,
            [&](std::int32_t n) {
                if (frames) {
                    output::OutputSet set;
                    addStatePictures(set, run, formatFrameName(t.image, n / o.every));
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
        if (!t.savePrefix.empty())
            addFields(set, run, t.savePrefix);
        if (!t.image.empty() && !frames)
            addStatePictures(set, run, t.image);
        if (kymograph)
            set.add(t.kymograph, encodePicture(kymograph->image(), t.kymograph));
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
    } catch (const Interrupted&) {
        report.status = RunStatus::Interrupted;
        report.message = "interrupted after iteration " + std::to_string(reached)
            + (frames ? framesNote() : "; no file of the run was written");
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

std::vector<std::vector<std::string>> combinations(const Options& o)
{
    std::vector<std::vector<std::string>> all { {} };
    for (const Sweep& sweep : o.sweeps) {
        std::vector<std::vector<std::string>> next;
        for (const auto& partial : all)
            for (const std::string& v : sweep.values) {
                next.push_back(partial);
                next.back().push_back(v);
            }
        all = std::move(next);
    }
    return all;
}

} // namespace rd::batch
