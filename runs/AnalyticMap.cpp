// The analytic map: every point's settings through the intake, classified on worker threads.
#include "runs/Maps.h"

#include "runs/Errors.h"
#include "runs/Names.h"
#include "runs/Run.h"
#include "runs/Workers.h"
#include "settings/NumberText.h"

#include <algorithm>
#include <atomic>
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
        in.boxes[static_cast<std::size_t>(slotOf(base.model, axis->field))] = axis->texts[k];
    const SimState defaults;
    auto result = evaluateIntake(in, defaults.dt, defaults.dx);
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
    return schemeFromState(base.model, base.oneD, scratch);
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
    const auto field = fieldByName(name);
    if (!field)
        throw SettingsError(
            name, "", "unknown setting \"" + name + "\" (" + settingNamesText() + ")");
    const int slot = slotOf(base.model, *field);
    if (slot < 0)
        throw SettingsError(name, "",
            "the " + std::string(modelInfo(base.model).displayName) + " model has no setting "
                + name);
    axis.field = *field;
    axis.texts = std::move(texts);
    for (const std::string& t : axis.texts)
        axis.values.push_back(parseDouble(t).value);
    const auto start = parseDouble(boxTexts(base)[static_cast<std::size_t>(slot)]);
    axis.startUp = start.ok() ? start.value : NAN;
    return axis;
}

AnalyticMap classifyMap(const MapSpec& m, unsigned jobs, const std::function<void()>& rowDone,
    const std::function<bool()>& cancelled)
{
    const RunSpec& o = m.base;
    SimState scratch;
    const IntakeValues base = intakeWith(o, nullptr, 0);
    AnalyticMap map;
    map.base = schemeOf(o, base, scratch);
    checkGain(map.base, "kC", "");
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
    map.points.resize(width * height);
    const ModeTable table(map.base.n, map.base.oneD);
    std::atomic<std::size_t> nextRow { 0 };
    auto work = [&] {
        SimState st;
        for (std::size_t j; !(cancelled && cancelled()) && (j = nextRow++) < height;) {
            IntakeValues v = base;
            takeField(v, ys[j], m.y.field);
            for (std::size_t i = 0; i < width; ++i) {
                takeField(v, xs[i], m.x.field);
                map.points[j * width + i] = classifyPoint(schemeOf(o, v, st), table);
            }
            if (rowDone)
                rowDone();
        }
    };
    if (jobs == 0)
        jobs = std::max(1u, std::thread::hardware_concurrency());
    runOnThreads(static_cast<unsigned>(std::min<std::size_t>(jobs, height)), work);
    return map;
}

} // namespace rd::runs
