// The analytic map: every point's settings through the intake, classified on worker threads.
#include "runs/Maps.h"

#include "runs/Errors.h"
#include "runs/Names.h"
#include "runs/Run.h"
#include "settings/NumberText.h"
#include "settings/TypedIntake.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

namespace rd::runs {

namespace {

using namespace rd::analysis;

// The settings of a map's points: the intake of the base settings and of each axis value,
// read once each by the same rule as a run's; a point then takes the values of its two
// settings from their own intakes. For a typed model the parameters come with the values.
struct PointIntake {
    IntakeValues values;
    std::vector<float> parameters;
};

// The position of a typed model's parameter `name` (mapAxis took only the model's settings).
std::size_t parameterIndex(const std::vector<std::string>& names, const std::string& name)
{
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

// Where an axis's text goes in a typed model's intake: a general setting's box, or a
// parameter's.
std::string& typedText(TypedIntakeInput& in, const MapAxis& axis)
{
    for (std::size_t g = 0; g < kTypedGeneralFields.size(); ++g)
        if (axis.field == kTypedGeneralFields[g])
            return in.general[g];
    return in.parameterTexts[parameterIndex(in.parameterNames, axis.name)];
}

PointIntake intakeWith(const RunDescription& base, const MapAxis* axis, std::size_t k)
{
    const StepSizes steps = stepSizes(base);
    auto refuse = [&](const std::string& message) {
        throw SettingsError(axis ? axis->name : "", axis ? axis->texts[k] : "", message);
    };
    if (const Model* model = std::get_if<Model>(&base.model)) {
        IntakeInput in = intakeInput(base);
        if (axis)
            in.boxes[static_cast<std::size_t>(slotOf(*model, *axis->field))] = axis->texts[k];
        auto result = evaluateIntake(in, steps.dt, steps.dx);
        if (const auto* e = std::get_if<IntakeError>(&result))
            refuse(e->message);
        return { std::get<IntakeValues>(result), {} };
    }
    TypedIntakeInput in = typedIntakeInput(base);
    if (axis)
        typedText(in, *axis) = axis->texts[k];
    auto result = evaluateTypedIntake(in, steps.dt, steps.dx);
    if (const auto* e = std::get_if<IntakeError>(&result))
        refuse(e->message);
    auto& typed = std::get<TypedIntakeValues>(result);
    return { typed.values, std::move(typed.parameters) };
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

// One setting of a point taken from an axis's intake: its box, or a typed model's parameter.
void takeSetting(PointIntake& to, const PointIntake& from, const MapAxis& axis, int parameter)
{
    if (axis.field)
        takeField(to.values, from.values, *axis.field);
    else
        to.parameters[static_cast<std::size_t>(parameter)]
            = from.parameters[static_cast<std::size_t>(parameter)];
}

// The position of the axis's setting among a typed model's parameters; -1 for a box.
int parameterOf(const RunDescription& base, const MapAxis& axis)
{
    if (axis.field || std::holds_alternative<Model>(base.model))
        return -1;
    return static_cast<int>(parameterIndex(typedIntakeInput(base).parameterNames, axis.name));
}

// What every point of a map shares: the built-in model, or the typed model's compiled
// program (bound at each point to its own values) and the box its states lie in.
struct MapModel {
    const RunDescription* base = nullptr;
    std::optional<TypedModel> typed;
    std::optional<AnalysisBounds> bounds;

    explicit MapModel(const RunDescription& request)
        : base(&request)
    {
        if (std::holds_alternative<Model>(request.model))
            return;
        Prepared run = prepare(request, false);
        typed = std::move(std::get<TypedModel>(run.model));
        bounds = run.analysisBounds;
    }
};

// `bound` is the caller's own typed model, its values replaced at every point: a point's
// scheme lives only while the point is classified, so the map binds no model per point.
Scheme schemeOf(const MapModel& model, const PointIntake& point, SimState& scratch,
    std::shared_ptr<TypedModel>& bound)
{
    applyIntake(scratch, point.values);
    if (!model.typed)
        return schemeFromState(std::get<Model>(model.base->model), model.base->oneD, scratch);
    if (!bound)
        bound = std::make_shared<TypedModel>(*model.typed);
    bound->values = point.parameters;
    return schemeFromState(bound, model.base->oneD, scratch, model.bounds);
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

MapAxis mapAxis(const RunDescription& base, const std::string& name, std::vector<std::string> texts)
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

Scheme classifyMapRows(
    const MapDescription& m, unsigned jobs, std::size_t ahead, const MapRowHooks& hooks)
{
    const RunDescription& o = m.base;
    const MapModel model(o); // a typed model's refused base setting named as a run names it
    const PointIntake base = intakeWith(o, nullptr, 0);
    SimState scratch;
    std::shared_ptr<TypedModel> baseModel, checked;
    const Scheme baseScheme = schemeOf(model, base, scratch, baseModel);
    checkGain(baseScheme, "kC", "");
    std::vector<PointIntake> xs, ys;
    for (std::size_t i = 0; i < m.x.texts.size(); ++i)
        xs.push_back(intakeWith(o, &m.x, i));
    for (std::size_t j = 0; j < m.y.texts.size(); ++j)
        ys.push_back(intakeWith(o, &m.y, j));
    for (const auto& [axis, values] : { std::pair { &m.x, &xs }, std::pair { &m.y, &ys } })
        for (std::size_t k = 0; k < values->size(); ++k)
            if (axis->field == BoxField::KC || axis->field == BoxField::ScalingFactor)
                checkGain(
                    schemeOf(model, (*values)[k], scratch, checked), axis->name, axis->texts[k]);
    const int xParameter = parameterOf(o, m.x), yParameter = parameterOf(o, m.y);

    const std::size_t width = xs.size(), height = ys.size();
    const ModeTable table(baseScheme.n, baseScheme.oneD);
    RowQueue queue(height, std::max<std::size_t>(ahead, 1));
    auto work = [&] {
        try {
            std::vector<PointResult> row(width);
            SimState st;
            std::shared_ptr<TypedModel> bound;
            while (const auto j = queue.take()) {
                if (hooks.cancelled && hooks.cancelled()) {
                    queue.stop();
                    break;
                }
                PointIntake p = base;
                takeSetting(p, ys[*j], m.y, yParameter);
                for (std::size_t i = 0; i < width; ++i) {
                    takeSetting(p, xs[i], m.x, xParameter);
                    row[i] = classifyPoint(schemeOf(model, p, st, bound), table);
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

AnalyticMap classifyMap(const MapDescription& m, unsigned jobs,
    const std::function<void()>& rowDone, const std::function<bool()>& cancelled)
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
