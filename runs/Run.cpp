// The steps of a run, exactly as the window's loop takes them.
#include "runs/Run.h"

#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "engine/StepThreads.h"
#include "engine/TypedStep.h"
#include "runs/Errors.h"

#include <optional>
#include <system_error>

namespace rd::runs {

std::span<const float> currentU(const SimState& s, bool oneD)
{
    return rd::currentU(s, dimensionOf(oneD));
}

std::span<const float> currentV(const SimState& s, bool oneD)
{
    return rd::currentV(s, dimensionOf(oneD));
}

std::int32_t advance(Prepared& run, std::int32_t steps, std::int32_t every, const StepHooks& hooks)
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
    if (every > 0 && hooks.sample)
        hooks.sample(0);
    for (std::int32_t n = 1; n <= steps; ++n) {
        if (hooks.cancelled && hooks.cancelled())
            throw Cancelled();
        try {
            std::visit(
                [&](const auto& model) {
                    if (threads)
                        threads->step2D(s, model, s.phaseA != kFalse);
                    else
                        step(s, model, dimensionOf(run.oneD));
                },
                run.model);
        } catch (const EngineError& e) {
            throw StepFailed(e.what(), n);
        }
        if (every > 0 && n % every == 0 && hooks.sample)
            hooks.sample(n);
        if (hooks.progress && hooks.progress(n))
            return n;
    }
    return steps;
}

} // namespace rd::runs
