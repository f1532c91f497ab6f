// The 2D step on several threads: each computes a range of rows. Every cell depends only
// on the source set and the constants, so the split cannot change a bit; what needs care
// is an error, which must be the one the rows in order would meet first.
#include "EngineError.h"
#include "Integrators.h"
#include "SimdKernels.h"
#include "StepCells.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace rd {

namespace {

struct Part {
    std::int32_t jBegin = 0, jEnd = 0;
    float synU = 0.0f, synV = 0.0f;
    bool failed = false;
};

// Runs one range on the calling thread; the status flags are per thread.
void runPart(const cells::Grid2D& g, Model model, const simd::Kernels* kernels, Part& p)
{
    std::int32_t i = 0, j = 0;
    try {
        simd::rows2D(g, model, kernels, p.jBegin, p.jEnd, p.synU, p.synV, i, j);
    } catch (const EngineError&) {
        p.failed = true;
    }
}

} // namespace

void Step2DThreaded(SimState& s, Model model, bool fromA, int threads)
{
    const cells::Buffers2D b = cells::buffers2D(s, fromA);
    const cells::Grid2D g = cells::grid2D(s, b);
    const simd::Kernels* kernels = simd::dispatchedKernels();
    const std::int32_t rowCount = g.L + 1;
    const std::int32_t count = std::clamp(threads, 1, std::max(rowCount, 1));
    std::vector<Part> parts(static_cast<std::size_t>(count));
    for (std::int32_t p = 0; p < count; ++p) {
        parts[p].jBegin = static_cast<std::int32_t>(std::int64_t { rowCount } * p / count);
        parts[p].jEnd = static_cast<std::int32_t>(std::int64_t { rowCount } * (p + 1) / count);
        parts[p].synU = s.synU;
        parts[p].synV = s.synV;
    }
    {
        std::vector<std::jthread> helpers;
        for (std::size_t p = 1; p < parts.size(); ++p)
            helpers.emplace_back([&, p] { runPart(g, model, kernels, parts[p]); });
        runPart(g, model, kernels, parts[0]);
    }
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
        simd::rows2D(g, model, kernels, failed->jBegin, rowCount, synU, synV, i, j);
    } catch (const EngineError& e) {
        cells::abandon2D(s, e, i, j, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    s.phaseA = fromA ? kFalse : kTrue;
}

} // namespace rd
