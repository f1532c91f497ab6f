// The analytic map: every point's settings through the intake, classified on worker threads,
// and its CSV.
#include "batch/AtlasCommand.h"

#include "batch/BatchRun.h"
#include "batch/Interrupt.h"
#include "batch/RunFindings.h"
#include "batch/Workers.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <thread>

namespace rd::batch {

namespace {

using namespace rd::analysis;

// The intake with one box changed. Every value of an axis is read once, by the same rule
// as a run's; a point then takes the fields of its two boxes from their own intakes.
IntakeValues intakeWith(const Options& o, const AtlasAxis* axis, std::size_t k, const char* option)
{
    IntakeInput in = makeIntakeInput(o);
    if (axis)
        in.boxes[static_cast<std::size_t>(slotOf(o.model, axis->field))] = axis->texts[k];
    const SimState defaults;
    auto result = evaluateIntake(in, defaults.dt, defaults.dx);
    if (const auto* e = std::get_if<IntakeError>(&result))
        throw UsageError(axis ? std::string(option) + " " + axis->name + " value \""
                    + axis->texts[k] + "\": " + e->message
                              : e->message);
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

Scheme schemeOf(const AtlasArgs& a, const IntakeValues& values, SimState& scratch)
{
    applyIntake(scratch, values);
    return schemeFromState(a.options.model, a.options.oneD, scratch);
}

// An Oregonator kC of 0 makes every step divide by zero: nothing to analyse.
void checkGain(const Scheme& s, const std::string& where)
{
    if (!std::isfinite(s.gainU))
        throw UsageError(where
            + ": the Oregonator divides its u rate by kC, so with this value every run ends with "
              "a division by zero at its first step; there is nothing to analyse");
}

void appendNumber(std::string& out, double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

} // namespace

AnalyticMap classifyMap(const AtlasArgs& a, unsigned jobs, const std::function<void()>& rowDone)
{
    const Options& o = a.options;
    SimState scratch;
    const IntakeValues base = intakeWith(o, nullptr, 0, "");
    AnalyticMap map;
    map.base = schemeOf(a, base, scratch);
    checkGain(map.base, "--set kC");
    std::vector<IntakeValues> xs, ys;
    for (std::size_t i = 0; i < a.x.texts.size(); ++i)
        xs.push_back(intakeWith(o, &a.x, i, "--x"));
    for (std::size_t j = 0; j < a.y.texts.size(); ++j)
        ys.push_back(intakeWith(o, &a.y, j, "--y"));
    for (const auto& [axis, values, option] :
        { std::tuple { &a.x, &xs, "--x" }, std::tuple { &a.y, &ys, "--y" } })
        for (std::size_t k = 0; k < values->size(); ++k)
            if (axis->field == BoxField::KC || axis->field == BoxField::ScalingFactor)
                checkGain(schemeOf(a, (*values)[k], scratch),
                    std::string(option) + " " + axis->name + " value \"" + axis->texts[k] + "\"");

    const std::size_t width = xs.size(), height = ys.size();
    map.points.resize(width * height);
    const ModeTable table(map.base.n, map.base.oneD);
    std::atomic<std::size_t> nextRow { 0 };
    auto work = [&] {
        SimState st;
        for (std::size_t j; interruptSignal() == 0 && (j = nextRow++) < height;) {
            IntakeValues v = base;
            takeField(v, ys[j], a.y.field);
            for (std::size_t i = 0; i < width; ++i) {
                takeField(v, xs[i], a.x.field);
                map.points[j * width + i] = classifyPoint(schemeOf(a, v, st), table);
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

std::string analyticCsv(const AtlasArgs& a, const AnalyticMap& map)
{
    int most = 0;
    for (const PointResult& p : map.points)
        most = std::max(most, std::min(p.stateCount, kMaxPointStates));
    std::string csv = "x_index,y_index," + a.x.name + "," + a.y.name
        + ",class,predicted_wavelength,kx,ky,states";
    for (int s = 1; s <= most; ++s) {
        const std::string k = std::to_string(s);
        csv += ",u" + k + ",v" + k + ",class" + k;
    }
    csv += '\n';
    csv.reserve(map.points.size() * (60 + 40 * std::size_t(most)));
    const std::size_t width = a.x.texts.size();
    for (std::size_t k = 0; k < map.points.size(); ++k) {
        const PointResult& p = map.points[k];
        const std::size_t i = k % width, j = k / width;
        const bool turing = p.kind == PointClass::TuringUnstable;
        csv += std::to_string(i) + ',' + std::to_string(j) + ',' + a.x.texts[i] + ',' + a.y.texts[j]
            + ',' + pointClassWord(p.kind) + ',' + findingText(p.wavelength) + ','
            + (turing ? std::to_string(p.kx) : "") + ',' + (turing ? std::to_string(p.ky) : "")
            + ',' + std::to_string(p.stateCount);
        for (int s = 0; s < most; ++s) {
            if (s < std::min(p.stateCount, kMaxPointStates)) {
                const PointState& st = p.states[static_cast<std::size_t>(s)];
                csv += ',';
                appendNumber(csv, st.u);
                csv += ',';
                appendNumber(csv, st.v);
                csv += ',';
                csv += stateClassWord(st.kind);
            } else {
                csv += ",,,";
            }
        }
        csv += '\n';
    }
    return csv;
}

} // namespace rd::batch
