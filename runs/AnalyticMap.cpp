// The analytic map: every point's settings through the intake, classified on worker threads.
#include "runs/Maps.h"

#include "runs/Errors.h"
#include "runs/ModelAnalysis.h"
#include "runs/Names.h"
#include "runs/Run.h"
#include "settings/NumberText.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

namespace rd::runs {

namespace {

using namespace rd::analysis;

// The intake with one box changed. Every value of an axis is read once, by the same rule
// as a run's; a point then takes the fields of its two boxes from their own intakes.
IntakeValues intakeWith(const RunSpec& base, const MapAxis* axis, std::size_t k)
{
    IntakeInput in = intakeInput(base);
    if (axis)
        in.boxes[static_cast<std::size_t>(slotOf(in.model, *axis->field))] = axis->texts[k];
    const StepSizes steps = stepSizes(base);
    auto result = evaluateIntake(in, steps.dt, steps.dx);
    if (const auto* e = std::get_if<IntakeError>(&result))
        throw SettingsError(axis ? axis->name : "", axis ? axis->texts[k] : "", e->message);
    return std::get<IntakeValues>(result);
}

// What one box's text becomes in the intake's values.
void takeField(IntakeValues& to, const IntakeValues& from, BoxField field)
{
    switch (field) {
    case BoxField::UMax:
        to.uMax = from.uMax;
        to.grayScale = from.grayScale;
        break;
    case BoxField::VMax:
        to.vMax = from.vMax;
        break;
    case BoxField::ScalingFactor:
        to.reactGain = from.reactGain;
        break;
    case BoxField::Du:
        to.Du = from.Du;
        to.cu = from.cu;
        to.su = from.su;
        break;
    case BoxField::Dv:
        to.Dv = from.Dv;
        to.cv = from.cv;
        to.sv = from.sv;
        break;
    case BoxField::KA:
        to.kA = from.kA;
        break;
    case BoxField::KB:
        to.kB = from.kB;
        break;
    case BoxField::KC:
        to.kC = from.kC;
        break;
    }
}

Scheme schemeOf(const RunSpec& base, const IntakeValues& values, SimState& scratch)
{
    applyIntake(scratch, values);
    return schemeFromState(std::get<Model>(base.model), base.oneD, scratch);
}

// An Oregonator kC of 0 makes every step divide by zero: nothing to analyse.
void checkGain(const Scheme& s, const std::string& setting, const std::string& text)
{
    if (!std::isfinite(s.gainU))
        throw SettingsError(setting, text,
            "the Oregonator divides its u rate by kC, so with this value every run ends with "
            "a division by zero at its first step; there is nothing to analyse");
}

} // namespace

MapAxis mapAxis(const RunSpec& base, const std::string& name, std::vector<std::string> texts)
{
    MapAxis axis;
    axis.name = name;
    const std::vector<std::string> names = settingNames(base.model);
    const bool builtIn = std::holds_alternative<Model>(base.model);
    if (isStepSize(name))
        throw SettingsError(name, "",
            "the time step and the cell size change every coefficient at once, so they are no "
            "axis of a map (sweep them instead)");
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        if (builtIn && fieldByName(name))
            throw SettingsError(
                name, "", "the " + modelDisplayName(base.model) + " model has no setting " + name);
        throw SettingsError(
            name, "", "unknown setting \"" + name + "\" (" + settingNamesText(base.model) + ")");
    }
    // A typed model's parameter may share a built-in constant's name, but is no box.
    const auto field = fieldByName(name);
    if (field
        && (builtIn
            || std::find(kTypedGeneralFields.begin(), kTypedGeneralFields.end(), *field)
                != kTypedGeneralFields.end()))
        axis.field = field;
    axis.texts = std::move(texts);
    for (const std::string& t : axis.texts)
        axis.values.push_back(parseDouble(t).value);
    const auto start = parseDouble(settingTexts(base).at(name));
    axis.startUp = start.ok() ? start.value : NAN;
    return axis;
}

AnalyticMap mapPrediction(const MapSpec& m, unsigned jobs)
{
    if (analysable(m.base.model))
        return classifyMap(m, jobs);
    // Every value through the intake, as a run of the map will take it.
    AnalyticMap map;
    for (const MapAxis* axis : { &m.x, &m.y })
        for (const std::string& text : axis->texts) {
            RunSpec point = m.base;
            point.settings[axis->name] = text;
            try {
                prepare(point, false);
            } catch (const SettingsError& e) {
                throw SettingsError(axis->name, text, e.what());
            }
        }
    const Prepared start = prepare(m.base, false);
    map.base.n = start.state.nCells;
    map.base.oneD = start.oneD;
    map.points.resize(m.x.texts.size() * m.y.texts.size());
    map.analysed = false;
    return map;
}

namespace {

// The rows' hand-over between the workers and the calling thread.
class RowQueue {
public:
    RowQueue(std::size_t rows, std::size_t ahead)
        : rows_(rows)
        , ready_(ahead, false)
    { }

    // The next row to classify, once it lies within `ahead` rows of the last one handed
    // over; nothing when every row is taken or the work stops.
    std::optional<std::size_t> take()
    {
        std::unique_lock lock(m_);
        changed_.wait(
            lock, [&] { return stop_ || next_ >= rows_ || next_ < handed_ + ready_.size(); });
        if (stop_ || next_ >= rows_)
            return std::nullopt;
        return next_++;
    }
    void classified(std::size_t j)
    {
        std::lock_guard lock(m_);
        ready_[j % ready_.size()] = true;
        changed_.notify_all();
    }
    // Waits for row j; false when it will not come (stopped, or every worker gone).
    bool await(std::size_t j)
    {
        std::unique_lock lock(m_);
        changed_.wait(lock, [&] { return stop_ || ready_[j % ready_.size()] || running_ == 0; });
        if (!ready_[j % ready_.size()])
            return false;
        ready_[j % ready_.size()] = false;
        return true;
    }
    void handedOver(std::size_t j)
    {
        std::lock_guard lock(m_);
        handed_ = j + 1;
        changed_.notify_all();
    }
    void stop(std::exception_ptr failure = nullptr)
    {
        std::lock_guard lock(m_);
        stop_ = true;
        if (failure && !failure_)
            failure_ = failure;
        changed_.notify_all();
    }
    void workerStarted()
    {
        std::lock_guard lock(m_);
        ++running_;
    }
    void workerEnded()
    {
        std::lock_guard lock(m_);
        --running_;
        changed_.notify_all();
    }
    std::exception_ptr failure()
    {
        std::lock_guard lock(m_);
        return failure_;
    }

private:
    std::mutex m_;
    std::condition_variable changed_;
    const std::size_t rows_;
    std::vector<bool> ready_; // by row modulo `ahead`
    std::size_t next_ = 0, handed_ = 0;
    unsigned running_ = 0;
    bool stop_ = false;
    std::exception_ptr failure_;
};

} // namespace

Scheme classifyMapRows(const MapSpec& m, unsigned jobs, std::size_t ahead, const MapRowHooks& hooks)
{
    const RunSpec& o = m.base;
    requireAnalysis(o.model);
    SimState scratch;
    const IntakeValues base = intakeWith(o, nullptr, 0);
    const Scheme baseScheme = schemeOf(o, base, scratch);
    checkGain(baseScheme, "kC", "");
    std::vector<IntakeValues> xs, ys;
    for (std::size_t i = 0; i < m.x.texts.size(); ++i)
        xs.push_back(intakeWith(o, &m.x, i));
    for (std::size_t j = 0; j < m.y.texts.size(); ++j)
        ys.push_back(intakeWith(o, &m.y, j));
    for (const auto& [axis, values] : { std::pair { &m.x, &xs }, std::pair { &m.y, &ys } })
        for (std::size_t k = 0; k < values->size(); ++k)
            if (axis->field == BoxField::KC || axis->field == BoxField::ScalingFactor)
                checkGain(schemeOf(o, (*values)[k], scratch), axis->name, axis->texts[k]);

    const std::size_t width = xs.size(), height = ys.size();
    const ModeTable table(baseScheme.n, baseScheme.oneD);
    RowQueue queue(height, std::max<std::size_t>(ahead, 1));
    auto work = [&] {
        try {
            std::vector<PointResult> row(width);
            SimState st;
            while (const auto j = queue.take()) {
                if (hooks.cancelled && hooks.cancelled()) {
                    queue.stop();
                    break;
                }
                IntakeValues v = base;
                takeField(v, ys[*j], *m.y.field);
                for (std::size_t i = 0; i < width; ++i) {
                    takeField(v, xs[i], *m.x.field);
                    row[i] = classifyPoint(schemeOf(o, v, st), table);
                }
                if (hooks.classified)
                    hooks.classified(*j, row);
                queue.classified(*j);
            }
        } catch (...) {
            queue.stop(std::current_exception());
        }
        queue.workerEnded();
    };
    if (jobs == 0)
        jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::jthread> workers;
    // A thread that cannot start (no memory for its stack) leaves its rows to the others.
    for (unsigned w = 0; w < std::min<std::size_t>(jobs, height); ++w) {
        queue.workerStarted();
        try {
            workers.emplace_back(work);
        } catch (const std::exception&) {
            queue.workerEnded();
        }
    }
    if (workers.empty() && height > 0)
        throw std::bad_alloc();
    try {
        for (std::size_t j = 0; j < height && queue.await(j); ++j) {
            if (hooks.inOrder)
                hooks.inOrder(j);
            queue.handedOver(j);
        }
    } catch (...) {
        queue.stop(std::current_exception());
    }
    workers.clear(); // joins
    if (const auto failure = queue.failure())
        std::rethrow_exception(failure);
    return baseScheme;
}

AnalyticMap classifyMap(const MapSpec& m, unsigned jobs, const std::function<void()>& rowDone,
    const std::function<bool()>& cancelled)
{
    AnalyticMap map;
    const std::size_t width = m.x.texts.size(), height = m.y.texts.size();
    map.points.resize(width * height);
    MapRowHooks hooks;
    hooks.classified = [&](std::size_t j, std::span<const PointResult> row) {
        std::copy(row.begin(), row.end(), map.points.begin() + std::ptrdiff_t(j * width));
        if (rowDone)
            rowDone();
    };
    hooks.cancelled = cancelled;
    map.base = classifyMapRows(m, jobs, height, hooks);
    return map;
}

} // namespace rd::runs
