// The simulated map: a run at every point through the sweep's machinery (its combinations,
// intake, start, steps and watch).
#include "runs/Maps.h"

#include "runs/Errors.h"
#include "runs/Findings.h"
#include "runs/Names.h"
#include "runs/Run.h"
#include "runs/Sweep.h"
#include "runs/Workers.h"

#include <atomic>
#include <new>

namespace rd::runs {

namespace {

using namespace rd::analysis;

// A point's run: the map's base with its two values.
RunDescription pointRequest(const MapDescription& m, const std::vector<std::string>& values)
{
    RunDescription request = m.base;
    request.settings[m.y.name] = values[0];
    request.settings[m.x.name] = values[1];
    return request;
}

SimulatedPoint runPoint(const RunDescription& request, int threads, const MapHooks& hooks)
{
    SimulatedPoint point;
    Prepared run = prepare(request);
    run.threads = threads;
    initialise(run, request.initial, nullptr);
    const auto u = [&] { return currentU(run.state, run.oneD); };
    RunWatch watch(run, u(), request.untilSteady);
    std::int32_t reported = 0;
    RunFindings f;
    StepHooks step;
    step.cancelled = hooks.cancelled;
    step.progress = [&](std::int32_t n) {
        const bool stop = watch.afterStep(n, u());
        if (hooks.stepsDone && (n % 16 == 0 || n == request.steps || stop)) {
            hooks.stepsDone(n - reported);
            reported = n;
        }
        return stop;
    };
    try {
        const std::int32_t taken = advance(run, request.steps, 0, step);
        f = watch.finish(taken, u(), currentV(run.state, run.oneD));
    } catch (const StepFailed& e) {
        f = watch.failed(e.iteration());
        point.message = "iteration " + std::to_string(e.iteration()) + ": " + e.what();
    }
    if (f.stoppedEarly && hooks.stoppedEarly)
        hooks.stoppedEarly(f.steps);
    else if (hooks.stepsDone)
        hooks.stepsDone(request.steps - reported);
    if (hooks.runDone)
        hooks.runDone();
    if (hooks.keep)
        point.field = hooks.keep(u());
    point.ran = true;
    point.state = f.state;
    point.steps = f.steps;
    point.measured = f.measured;
    point.contrast = f.contrast;
    return point;
}

} // namespace

std::vector<std::vector<std::string>> mapCombinations(const MapDescription& m)
{
    return combinations({ m.y.texts, m.x.texts });
}

SimulatedMap simulateMap(const MapDescription& map, AnalyticMap prediction,
    const std::vector<std::size_t>& members, CoreShare share, const MapHooks& hooks)
{
    SimulatedMap m;
    m.prediction = std::move(prediction);
    m.n = m.prediction.base.n;
    const auto combos = mapCombinations(map);
    m.points.resize(combos.size());
    std::atomic<std::size_t> next { 0 };
    const auto cancelled = [&] { return hooks.cancelled && hooks.cancelled(); };
    auto work = [&] {
        for (std::size_t i; !cancelled() && (i = next++) < members.size();) {
            const std::size_t k = members[i];
            try {
                m.points[k] = runPoint(pointRequest(map, combos[k]), share.threads, hooks);
            } catch (const Cancelled&) {
                return;
            } catch (const std::bad_alloc&) {
                m.points[k].message = "out of memory";
            }
        }
    };
    runOnThreads(share.jobs, work);
    for (const std::size_t k : members)
        if (!m.points[k].ran && !cancelled())
            throw std::bad_alloc();
    return m;
}

} // namespace rd::runs
