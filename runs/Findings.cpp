#include "runs/Findings.h"

#include "analysis/Analysis.h"
#include "analysis/FeaturedState.h"
#include "analysis/FieldMeasurement.h"
#include "runs/ModelAnalysis.h"

#include <algorithm>

namespace rd::runs {

namespace {

using namespace rd::analysis;

// The states the settings' class comes from, by the maps' rule with saddles aside (the one
// to predict from first); nothing for a single cell or an Oregonator that divides by kC = 0.
void predictInto(RunFindings& f, std::vector<Prediction>& predictions, FeaturedStates& featured,
    const Prepared& run)
{
    if (run.state.nCells < 2)
        return;
    const Scheme scheme = schemeOf(run);
    if (!std::isfinite(scheme.gainU))
        return;
    predictions = analyse(scheme).predictions;
    featured = featuredStates(predictions);
    f.pointClass = pointClassWord(featured.kind);
    if (featured.count == 0) {
        f.predictedClass = "no uniform steady state";
        return;
    }
    for (int k = 0; k < featured.count; ++k) {
        const Prediction& p = predictions[static_cast<std::size_t>(featured.index[std::size_t(k)])];
        f.qualifying.push_back({ p.state.u, p.state.v, className(p.kind) });
    }
    const Prediction& p = predictions[static_cast<std::size_t>(featured.first())];
    f.stateU = p.state.u;
    f.stateV = p.state.v;
    f.predictedClass = className(p.kind);
    if (p.kind == StateClass::TuringUnstable)
        f.predicted = p.wavelength;
}

} // namespace

RunWatch::RunWatch(const Prepared& run, std::span<const float> u, bool untilSteady)
    : tracker_(run.state.uMax)
    , n_(run.state.nCells)
    , oneD_(run.oneD)
    , untilSteady_(untilSteady)
{
    findings_.watched = true;
    predictInto(findings_, predictions_, featured_, run);
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

RunFindings RunWatch::finish(std::int32_t steps, std::span<const float> u, std::span<const float> v)
{
    if (steps > observed_)
        tracker_.observe(u, steps - observed_);
    observed_ = steps;
    RunFindings f = findings_;
    f.state = tracker_.state();
    f.steps = steps;
    f.stoppedEarly = untilSteady_ && tracker_.settled();
    if (n_ >= 2) {
        // The floor of flatness at the largest value of late: what an oscillation's peak
        // rounded survives its fall.
        const Measurement m = measureField(u, n_, oneD_, tracker_.recentLargest());
        // What is left of a field that died out is rounding, not a pattern.
        f.measured = f.state == RunState::Extinct ? NAN : m.wavelength;
        f.contrast = m.contrast;
    }
    if (!v.empty() && featured_.count > 0) {
        // Every state a field can end at: saddles only where there is nothing else.
        FeaturedStates candidates;
        const bool onlySaddles = std::all_of(predictions_.begin(), predictions_.end(),
            [](const Prediction& p) { return isSaddle(p.state); });
        for (std::size_t i = 0; i < predictions_.size() && candidates.count < kMaxPointStates; ++i)
            if (onlySaddles || !isSaddle(predictions_[i].state))
                candidates.index[static_cast<std::size_t>(candidates.count++)] = int(i);
        const int k = nearestFeatured(predictions_, candidates, fieldMean(u), fieldMean(v)).index;
        if (k >= 0) {
            const Prediction& p = predictions_[static_cast<std::size_t>(k)];
            f.endedNear = { p.state.u, p.state.v, className(p.kind) };
            f.endedNearQualifying = featured_.contains(k);
        }
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
