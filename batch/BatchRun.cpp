#include "BatchRun.h"

#include "EngineError.h"
#include "FieldImage.h"
#include "FieldInit.h"
#include "Intake.h"
#include "Integrators.h"
#include "Interrupt.h"
#include "Npy.h"
#include "ProfileImage.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>

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

std::string csvField(const std::string& s)
{
    if (s.find_first_of(",\"\n\r") == std::string::npos)
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
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

const char* statusText(RunStatus status)
{
    switch (status) {
    case RunStatus::Ok:
        return "ok";
    case RunStatus::ArithmeticError:
        return "arithmetic error";
    case RunStatus::OutputError:
        return "output error";
    case RunStatus::OutOfMemory:
        return "out of memory";
    case RunStatus::Interrupted:
        break;
    }
    return "interrupted";
}

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

Prepared prepareSettings(const Options& o, const std::vector<std::string>& overrides)
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
    run.sizeCapped = values.sizeCapped;
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

void advance(Prepared& run, std::int32_t steps, std::int32_t every,
    const std::function<void(std::int32_t)>& sample,
    const std::function<void(std::int32_t)>& progress)
{
    SimState& s = run.state;
    if (every > 0 && sample)
        sample(0);
    for (std::int32_t n = 1; n <= steps; ++n) {
        throwIfInterrupted();
        try {
            if (run.oneD)
                Step1D(s, run.model);
            else if (s.phaseA)
                Step2DFromA(s, run.model);
            else
                Step2DFromB(s, run.model);
        } catch (const EngineError& e) {
            throw StepFailed(e.what(), n);
        }
        if (every > 0 && n % every == 0 && sample)
            sample(n);
        if (progress)
            progress(n);
    }
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
    try {
        std::optional<Kymograph> kymograph;
        if (!t.kymograph.empty())
            kymograph.emplace(run.state.nCells, run.state.grayScale, o.steps / o.every + 1);
        advance(
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
                if (progress && progress->enabled() && (n % 16 == 0 || n == o.steps)) {
                    progress->addSteps(n - reported);
                    reported = n;
                }
            });
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
        progress->addSteps(o.steps - reported);
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

std::string sweepCsv(const Options& o, const std::vector<std::vector<std::string>>& combos,
    const std::vector<RunReport>& reports)
{
    std::string csv = "run";
    auto field = [&csv](const std::string& value) {
        csv.push_back(',');
        csv.append(csvField(value));
    };
    for (const Sweep& s : o.sweeps)
        field(s.name);
    csv.append(",status,iteration,message,files\n");
    for (std::size_t k = 0; k < combos.size(); ++k) {
        const RunReport& r = reports[k];
        csv.append(std::to_string(k + 1));
        for (const std::string& v : combos[k])
            field(v);
        field(statusText(r.status));
        field(r.status == RunStatus::ArithmeticError ? std::to_string(r.iteration) : "");
        field(r.message);
        std::string files;
        for (const std::string& f : r.files) {
            if (!files.empty())
                files.push_back(';');
            files.append(f);
        }
        field(files);
        csv.push_back('\n');
    }
    return csv;
}

Progress::Progress(bool enabled, std::int64_t totalSteps, int runs)
    : enabled_(enabled)
    , total_(totalSteps)
    , runs_(runs)
{ }

void Progress::addSteps(std::int64_t n)
{
    if (!enabled_)
        return;
    done_ += n;
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now() - start_)
                         .count();
    std::int64_t due = nextPrintNs_.load();
    if (now >= due && nextPrintNs_.compare_exchange_strong(due, now + 250'000'000))
        print(false);
}

void Progress::runDone()
{
    ++runsDone_;
}

void Progress::finish()
{
    if (enabled_)
        print(true);
}

void Progress::print(bool final)
{
    std::lock_guard lock(printing_);
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::int64_t done = done_.load();
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    const double left = rate > 0 ? double(total_ - done) / rate : 0.0;
    char line[160];
    int used = std::snprintf(line, sizeof line, "\r%lld/%lld steps", static_cast<long long>(done),
        static_cast<long long>(total_));
    if (runs_ > 1)
        used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
            ", %d/%d runs", runsDone_.load(), runs_);
    std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
        ", %.0f steps/s, %.0f s left  %s", rate, std::max(left, 0.0), final ? "\n" : "");
    std::fputs(line, stderr);
    std::fflush(stderr);
}

int runBatch(const Options& o, bool progressWanted, std::FILE* err)
{
    const auto combos = combinations(o);
    // Every combination's settings and output names are checked before anything runs or is
    // written; the states themselves are made by the workers, one at a time each.
    LoadedFields loaded;
    std::vector<Targets> targets;
    try {
        std::int32_t nCells = 0;
        for (const auto& values : combos) {
            const Prepared run = prepareSettings(o, values);
            if (nCells == 0 && run.sizeCapped)
                std::fprintf(err,
                    "rdsim-batch: note: --size \"%s\" is more than the largest field; %d "
                    "cells are used\n",
                    o.sizeText.c_str(), run.state.nCells);
            nCells = run.state.nCells;
        }
        for (const auto& values : combos)
            targets.push_back(targetsFor(o, tagFor(o, values)));
        checkCollisions(o, targets);
        if (o.init == InitKind::Load)
            loaded = loadFields(o, nCells);
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "rdsim-batch: out of memory while preparing the runs\n");
        return kExitMemory;
    }
    try {
        for (const Targets& t : targets)
            checkTargets(t, o.oneD);
        if (!o.sweeps.empty())
            output::checkReplaceable(sweepCsvPath(o));
    } catch (const OutputError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitOutput;
    }

    Progress progress(progressWanted, std::int64_t { o.steps } * std::ssize(combos),
        static_cast<int>(combos.size()));
    std::vector<RunReport> reports(combos.size());
    for (RunReport& r : reports) {
        r.status = RunStatus::Interrupted; // until the run has been made
        r.message = "interrupted before the run started";
    }
    auto runCombination = [&](std::size_t k) {
        try {
            Prepared run = prepareSettings(o, combos[k]);
            initialise(run, o, &loaded);
            reports[k] = runOne(std::move(run), o, targets[k], &progress);
        } catch (const std::bad_alloc&) {
            reports[k].status = RunStatus::OutOfMemory;
            reports[k].message = "out of memory before the first step";
        }
    };
    std::atomic<std::size_t> next { 0 };
    auto work = [&] {
        for (std::size_t k; interruptSignal() == 0 && (k = next++) < combos.size();)
            runCombination(k);
    };
    if (o.sweeps.empty()) {
        work();
    } else {
        // At most one state per hardware thread is held at once, whatever --jobs asks.
        const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
        unsigned jobs = std::min(o.jobs ? o.jobs : hardware, hardware);
        jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, combos.size()));
        std::vector<std::jthread> workers;
        try {
            workers.reserve(jobs);
            for (unsigned w = 0; w < jobs; ++w)
                workers.emplace_back(work);
        } catch (const std::exception&) {
            // A thread that cannot start (no memory for its stack): the sweep goes on with
            // the threads that did, or on this one.
        }
        if (workers.empty())
            work();
        workers.clear(); // joins
    }
    progress.finish();

    const int signal = interruptSignal();
    int status = kExitOk;
    std::size_t finished = 0;
    for (std::size_t k = 0; k < reports.size(); ++k) {
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
            const std::string csv = sweepCsv(o, combos, reports);
            output::writeFileAtomically(
                sweepCsvPath(o), std::as_bytes(std::span(csv.data(), csv.size())));
        } catch (const OutputError& e) {
            std::fprintf(err, "rdsim-batch: %s\n", e.what());
            status = std::max(status, kExitOutput);
        } catch (const std::bad_alloc&) {
            std::fprintf(
                err, "rdsim-batch: out of memory while writing %s\n", sweepCsvPath(o).c_str());
            status = kExitMemory;
        }
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
                finished, reports.size(), sweepCsvPath(o).c_str());
    }
    return status;
}

} // namespace rd::batch
