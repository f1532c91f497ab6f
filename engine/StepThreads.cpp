// The 2D step on several threads: each computes a range of rows. Every cell depends only
// on the source set and the constants, so the split cannot change a bit; what needs care
// is an error, which must be the one the rows in order would meet first.
#include "engine/StepThreads.h"

#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "engine/SimdKernels.h"
#include "engine/StepCells.h"
#include "engine/TypedRows.h"
#include "engine/TypedStep.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <semaphore>
#include <thread>
#include <vector>

namespace rd {

namespace {

struct Part {
    std::int32_t jBegin = 0, jEnd = 0;
    float synU = 0.0f, synV = 0.0f;
    bool failed = false;
};

// Runs one range on the calling thread; the status flags are per thread. rows(jBegin, jEnd,
// synU, synV, i, j) computes rows as simd::rows2D does.
template <class Rows> void runPart(const Rows& rows, Part& p)
{
    std::int32_t i = 0, j = 0;
    try {
        rows(p.jBegin, p.jEnd, p.synU, p.synV, i, j);
    } catch (const EngineError&) {
        p.failed = true;
    }
}

} // namespace

// Each helper waits for its start signal, runs its part of the current job and reports.
struct StepThreads::Pool {
    struct Helper {
        std::binary_semaphore start { 0 };
        std::jthread thread;
    };
    std::vector<std::unique_ptr<Helper>> helpers;
    std::counting_semaphore<> done { 0 };
    std::function<void(std::size_t)> job;
    bool stopping = false;

    // A helper that cannot start ends those already waiting before the error leaves, or
    // their joins would wait for a start signal forever.
    explicit Pool(int count)
    {
        try {
            startHelpers(count);
        } catch (...) {
            stopHelpers();
            throw;
        }
    }

    void startHelpers(int count)
    {
        for (int p = 1; p < count; ++p) {
            helpers.push_back(std::make_unique<Helper>());
            Helper& h = *helpers.back();
            const auto part = static_cast<std::size_t>(p);
            h.thread = std::jthread([this, &h, part] {
                for (;;) {
                    h.start.acquire();
                    if (stopping)
                        return;
                    job(part);
                    done.release();
                }
            });
        }
    }

    // The semaphores order `stopping` before each helper's read of it; the jthreads join.
    ~Pool() { stopHelpers(); }

    void stopHelpers()
    {
        stopping = true;
        for (auto& h : helpers)
            h->start.release();
    }

    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    // Runs job(0) here and job(1..) on the helpers; returns when all are done. The
    // semaphores order the job's writes before the caller's reads.
    void run(std::function<void(std::size_t)> f)
    {
        job = std::move(f);
        for (auto& h : helpers)
            h->start.release();
        job(0);
        for (std::size_t p = 0; p < helpers.size(); ++p)
            done.acquire();
    }
};

StepThreads::StepThreads(int threads)
    : pool_(std::make_unique<Pool>(std::max(threads, 1)))
{ }

StepThreads::~StepThreads() = default;

int StepThreads::count() const
{
    return static_cast<int>(pool_->helpers.size()) + 1;
}

namespace {

// The threaded 2D step over rows(jBegin, jEnd, synU, synV, i, j), for either kind of model.
template <class Run, class Rows>
void threaded2D(
    SimState& s, bool fromA, int threads, const cells::Grid2D& g, Run&& run, const Rows& rows)
{
    const std::int32_t rowCount = g.L + 1;
    // Fewer ranges than threads when there are fewer rows; idle helpers return at once.
    const std::int32_t ranges = std::min(threads, std::max(rowCount, 1));
    std::vector<Part> parts(static_cast<std::size_t>(ranges));
    for (std::int32_t p = 0; p < ranges; ++p) {
        parts[p].jBegin = static_cast<std::int32_t>(std::int64_t { rowCount } * p / ranges);
        parts[p].jEnd = static_cast<std::int32_t>(std::int64_t { rowCount } * (p + 1) / ranges);
        parts[p].synU = s.synU;
        parts[p].synV = s.synV;
    }
    run([&](std::size_t p) {
        if (p < parts.size())
            runPart(rows, parts[p]);
    });
    const auto failed
        = std::find_if(parts.begin(), parts.end(), [](const Part& p) { return p.failed; });
    if (failed == parts.end()) {
        s.synU = parts.back().synU;
        s.synV = parts.back().synV;
        s.phaseA = fromA ? kFalse : kTrue;
        return;
    }
    // The first failing range holds the first failing cell, every range before it being
    // complete. Its thread began with the step's incoming increments, not those its first
    // cell follows in the one-thread order, and an error leaves some of them unwritten:
    // redo the rows from that range on here, in order, from the right ones. They write the
    // same values and fail at the same cell, leaving the increments as the one-thread step
    // does.
    float synU = failed == parts.begin() ? s.synU : std::prev(failed)->synU;
    float synV = failed == parts.begin() ? s.synV : std::prev(failed)->synV;
    std::int32_t i = 0, j = 0;
    try {
        rows(failed->jBegin, rowCount, synU, synV, i, j);
    } catch (const EngineError& e) {
        cells::abandon2D(s, e, i, j, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    s.phaseA = fromA ? kFalse : kTrue;
}

} // namespace

void StepThreads::step2D(SimState& s, Model model, bool fromA)
{
    const cells::Buffers2D b = cells::buffers2D(s, fromA);
    const cells::Grid2D g = cells::grid2D(s, b);
    const simd::Kernels* kernels = simd::dispatchedKernels();
    threaded2D(
        s, fromA, count(), g, [&](auto job) { pool_->run(job); },
        [&](std::int32_t jBegin, std::int32_t jEnd, float& synU, float& synV, std::int32_t& i,
            std::int32_t& j) { simd::rows2D(g, model, kernels, jBegin, jEnd, synU, synV, i, j); });
}

void StepThreads::step2D(SimState& s, const TypedModel& model, bool fromA)
{
    const cells::Buffers2D b = cells::buffers2D(s, fromA);
    const cells::Grid2D g = cells::grid2D(s, b);
    const typed::Kernels* kernels = typed::dispatchedKernels();
    const typed::StepPlan plan = typed::makeStepPlan(model, s.reactGain);
    threaded2D(
        s, fromA, count(), g, [&](auto job) { pool_->run(job); },
        [&](std::int32_t jBegin, std::int32_t jEnd, float& synU, float& synV, std::int32_t& i,
            std::int32_t& j) { typed::rows2D(plan, g, kernels, jBegin, jEnd, synU, synV, i, j); });
}

void Step2DThreaded(SimState& s, Model model, bool fromA, int threads)
{
    StepThreads(threads).step2D(s, model, fromA);
}

void Step2DThreaded(SimState& s, const TypedModel& model, bool fromA, int threads)
{
    StepThreads(threads).step2D(s, model, fromA);
}

} // namespace rd
