#include "engine/EngineError.h"
#include "engine/FpStatus.h"
#include "engine/Integrators.h"
#include "engine/StepCells.h"

#include <cstdint>
#include <string>

namespace rd {

namespace cells {

void requireCells1D(const SimState& s)
{
    const std::int64_t n = s.nCells;
    // Cell 0 reads element 1, the spare element when n = 1.
    const std::int64_t needed = n <= 0 ? 0 : (n == 1 ? 2 : n);
    for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
        if (static_cast<std::int64_t>(a->size()) < needed)
            throw EngineError(EngineError::Kind::SubscriptOutOfRange,
                std::to_string(a->size()) + " elements for " + std::to_string(n) + " cells");
    if (n >= 2 && (s.lastInner < 0 || s.lastInner >= n))
        throw EngineError(EngineError::Kind::SubscriptOutOfRange,
            "inner end cell " + std::to_string(s.lastInner));
}

void abandon1D(SimState& s, const EngineError& e, std::int32_t i, float synU, float synV)
{
    s.synU = synU;
    s.synV = synV;
    throw EngineError(e.kind(), "at cell " + std::to_string(i));
}

void copyBack1D(SimState& s)
{
    const std::int32_t L = s.lastIdx;
    float* uB = s.uB.data();
    float* vB = s.vB.data();
    float* uA = s.uA.data();
    float* vA = s.vA.data();
    for (std::int32_t i = 0; i <= L; ++i) {
        if (uB[i] < 0.0f)
            uB[i] = 0.0f;
        if (vB[i] < 0.0f)
            vB[i] = 0.0f;
        uA[i] = uB[i];
        vA[i] = vB[i];
    }
}

} // namespace cells

namespace scalar {

namespace {

template <Model M> void step1D(SimState& s)
{
    const cells::Line1D g = cells::line1D(s);
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0;
    fp::clearFlags();
    try {
        // Computing pass: reads set A only, writes set B only.
        for (i = 0; i <= g.L; ++i)
            cells::cell1D<M>(g, i, synU, synV);
    } catch (const EngineError& e) {
        cells::abandon1D(s, e, i, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    cells::copyBack1D(s);
}

} // namespace

void Step1D(SimState& s, Model model)
{
    cells::requireCells1D(s);
    withModel(model, [&](auto m) { step1D<decltype(m)::value>(s); });
}

} // namespace scalar

} // namespace rd
