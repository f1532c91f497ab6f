#include "runs/Findings.h"

#include "analysis/Analysis.h"
#include "analysis/FieldMeasurement.h"

namespace rd::runs {

namespace {

using namespace rd::analysis;

// The steady state a user of this run most likely wants to hear about, as analyze's plot
// picks it; nothing for a single cell or an Oregonator that divides by kC = 0.
void predictInto(RunFindings& f, Model model, bool oneD, const SimState& s)
{
    if (s.nCells < 2)
        return;
    const Scheme scheme = schemeFromState(model, oneD, s);
    if (!std::isfinite(scheme.gainU))
        return;
    const Analysis a = analyse(scheme);
    const int k = featuredState(a);
    if (k < 0) {
        f.predictedClass = "no uniform steady state";
        return;
    }
    const Prediction& p = a.predictions[static_cast<std::size_t>(k)];
    f.stateU = p.state.u;
    f.stateV = p.state.v;
    f.predictedClass = className(p.kind);
    if (p.kind == StateClass::TuringUnstable)
        f.predicted = p.wavelength;
}

} // namespace

RunWatch::RunWatch(
    Model model, bool oneD, const SimState& start, std::span<const float> u, bool untilSteady)
    : tracker_(start.uMax)
    , n_(start.nCells)
    , oneD_(oneD)
    , untilSteady_(untilSteady)
{
    findings_.watched = true;
    predictInto(findings_, model, oneD, start);
    tracker_.observe(u, 0);
}

bool RunWatch::afterStep(std::int32_t n, std::span<const float> u)
{
    if (n % kWatchEvery != 0)
        return false;
    tracker_.observe(u, n - observed_);
    observed_ = n;
    return untilSteady_ && tracker_.settled();
}

RunFindings RunWatch::finish(std::int32_t steps, std::span<const float> u)
{
    if (steps > observed_)
        tracker_.observe(u, steps - observed_);
    observed_ = steps;
    RunFindings f = findings_;
    f.state = tracker_.state();
    f.steps = steps;
    f.stoppedEarly = untilSteady_ && tracker_.settled();
    if (n_ >= 2) {
        const Measurement m = measureField(u, n_, oneD_);
        // What is left of a field that died out is rounding, not a pattern.
        f.measured = f.state == RunState::Extinct ? NAN : m.wavelength;
        f.contrast = m.contrast;
    }
    return f;
}

RunFindings RunWatch::failed(std::int32_t iteration)
{
    tracker_.arithmeticError();
    RunFindings f = findings_;
    f.state = tracker_.state();
    f.steps = iteration;
    return f;
}

} // namespace rd::runs
