#include "BatchRun.h"

#include "EngineError.h"
#include "FieldImage.h"
#include "FieldInit.h"
#include "Intake.h"
#include "Integrators.h"
#include "Npy.h"
#include "OutputFile.h"
#include "ProfileImage.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
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

std::vector<std::byte> encodePicture(const QImage& image, const std::string& name)
{
    const std::string ext = name.substr(name.rfind('.') + 1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray::fromStdString(ext).toLower());
    if (!writer.write(image))
        throw OutputError(name, writer.errorString().toStdString());
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return { p, p + bytes.size() };
}

void writePicture(const QImage& image, const std::string& name, std::vector<std::string>& files)
{
    writeFileAtomically(name, encodePicture(image, name));
    files.push_back(name);
}

// The picture of the state as the window shows it: the grey field in 2D, the two profile
// plots in 1D.
void writeStatePictures(
    const Prepared& run, const std::string& name, std::vector<std::string>& files)
{
    const SimState& s = run.state;
    if (run.oneD) {
        writePicture(renderProfile(currentU(s, true), s.uMax, QColor(255, 0, 0)),
            speciesName(name, 'u'), files);
        writePicture(renderProfile(currentV(s, true), s.vMax, QColor(0, 0, 255)),
            speciesName(name, 'v'), files);
    } else {
        writePicture(renderField(currentU(s, false).data(), s.nCells, s.grayScale), name, files);
    }
}

void writeFields(const Prepared& run, const std::string& prefix, std::vector<std::string>& files)
{
    const SimState& s = run.state;
    std::vector<std::int64_t> shape { s.nCells };
    if (!run.oneD)
        shape.push_back(s.nCells);
    for (const char species : { 'u', 'v' }) {
        const auto cells = species == 'u' ? currentU(s, run.oneD) : currentV(s, run.oneD);
        const std::string name = prefix + "-" + species + ".npy";
        writeFileAtomically(name, npy::encode(shape, cells));
        files.push_back(name);
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

std::filesystem::path csvPath(const Options& o)
{
    for (const std::string* first : { &o.savePrefix, &o.image, &o.kymograph })
        if (!first->empty()) {
            const auto dir = std::filesystem::path(*first).parent_path();
            return dir / "sweep.csv";
        }
    return "sweep.csv";
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
        std::string bytes;
        try {
            bytes = readWholeFile(*file);
        } catch (const std::exception& e) {
            throw UsageError(std::string(option) + " " + inQuotes(*file) + ": " + e.what());
        }
        auto decoded = npy::decode(std::as_bytes(std::span(bytes.data(), bytes.size())));
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

void checkTargets(const Targets& t)
{
    if (!t.savePrefix.empty())
        for (const char* suffix : { "-u.npy", "-v.npy" })
            checkWritable(t.savePrefix + suffix);
    if (!t.image.empty())
        checkWritable(formatFrameName(t.image, 0));
    if (!t.kymograph.empty())
        checkWritable(t.kymograph);
}

RunReport runOne(Prepared run, const Options& o, const Targets& t, Progress* progress)
{
    RunReport report;
    const bool frames = !t.image.empty() && hasFrameConversion(t.image);
    std::optional<Kymograph> kymograph;
    if (!t.kymograph.empty())
        kymograph.emplace(run.state.nCells, run.state.grayScale);
    std::int32_t reported = 0;
    try {
        advance(
            run, o.steps, frames || kymograph ? o.every : 0,
            [&](std::int32_t n) {
                if (frames)
                    writeStatePictures(run, formatFrameName(t.image, n / o.every), report.files);
                if (kymograph)
                    kymograph->addRow(currentU(run.state, run.oneD));
            },
            progress && progress->enabled()
                ? std::function<void(std::int32_t)>([&](std::int32_t n) {
                      if (n % 16 == 0 || n == o.steps) {
                          progress->addSteps(n - reported);
                          reported = n;
                      }
                  })
                : std::function<void(std::int32_t)>());
        // The final results only after the last step: a failed run leaves none of them.
        if (!t.savePrefix.empty())
            writeFields(run, t.savePrefix, report.files);
        if (!t.image.empty() && !frames)
            writeStatePictures(run, t.image, report.files);
        if (kymograph)
            writePicture(kymograph->image(), t.kymograph, report.files);
    } catch (const StepFailed& e) {
        report.status = RunStatus::ArithmeticError;
        report.iteration = e.iteration();
        report.message = "iteration " + std::to_string(e.iteration()) + ": " + e.what();
    } catch (const OutputError& e) {
        report.status = RunStatus::OutputError;
        report.message = e.what();
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
        field(r.status == RunStatus::Ok                  ? "ok"
                : r.status == RunStatus::ArithmeticError ? "arithmetic error"
                                                         : "output error");
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
    // Every combination's settings are checked before anything runs or is written; the
    // states themselves are made by the workers, one at a time each.
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
        if (o.init == InitKind::Load)
            loaded = loadFields(o, nCells);
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitUsage;
    }
    try {
        for (const auto& values : combos) {
            targets.push_back(targetsFor(o, tagFor(o, values)));
            checkTargets(targets.back());
        }
        if (!o.sweeps.empty())
            checkWritable(csvPath(o));
    } catch (const OutputError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitOutput;
    }

    Progress progress(progressWanted, std::int64_t { o.steps } * std::ssize(combos),
        static_cast<int>(combos.size()));
    std::vector<RunReport> reports(combos.size());
    auto runCombination = [&](std::size_t k) {
        Prepared run = prepareSettings(o, combos[k]);
        initialise(run, o, &loaded);
        reports[k] = runOne(std::move(run), o, targets[k], &progress);
    };
    if (o.sweeps.empty()) {
        runCombination(0);
    } else {
        unsigned jobs = o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
        jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, combos.size()));
        std::atomic<std::size_t> next { 0 };
        std::vector<std::jthread> workers;
        for (unsigned w = 0; w < jobs; ++w)
            workers.emplace_back([&] {
                for (std::size_t k; (k = next++) < combos.size();)
                    runCombination(k);
            });
        workers.clear(); // joins
    }
    progress.finish();

    int status = kExitOk;
    for (std::size_t k = 0; k < reports.size(); ++k) {
        const RunReport& r = reports[k];
        if (r.status == RunStatus::Ok)
            continue;
        const std::string tag = tagFor(o, combos[k]);
        std::fprintf(err, "rdsim-batch: %s%s%s\n", tag.empty() ? "" : tag.c_str(),
            tag.empty() ? "" : ": ", r.message.c_str());
        status
            = std::max(status, r.status == RunStatus::OutputError ? kExitOutput : kExitArithmetic);
    }
    if (!o.sweeps.empty()) {
        try {
            const std::string csv = sweepCsv(o, combos, reports);
            writeFileAtomically(csvPath(o), std::as_bytes(std::span(csv.data(), csv.size())));
        } catch (const OutputError& e) {
            std::fprintf(err, "rdsim-batch: %s\n", e.what());
            status = kExitOutput;
        }
    }
    return status;
}

} // namespace rd::batch
