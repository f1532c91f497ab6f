#include "engine/EngineError.h"
#include "engine/FpStatus.h"
#include "engine/Integrators.h"
#include "engine/StepCells.h"

#include <cstdint>
#include <string>

namespace rd {

namespace cells {

namespace {

void requireCells2D(const SimState& s, const std::vector<float>& a)
{
    const std::int64_t n = s.nCells;
    // The highest element a step touches: n*n - 1, or the spare element 1 when n = 1.
    const std::int64_t needed = n <= 0 ? 0 : (n == 1 ? 2 : n * n);
    if (static_cast<std::int64_t>(a.size()) < needed)
        throw EngineError(EngineError::Kind::SubscriptOutOfRange,
            std::to_string(a.size()) + " elements for " + std::to_string(n) + " x "
                + std::to_string(n) + " cells");
}

} // namespace

Buffers2D buffers2D(SimState& s, bool fromA)
{
    Buffers2D b { fromA ? s.uA : s.uB, fromA ? s.vA : s.vB, fromA ? s.uB : s.uA,
        fromA ? s.vB : s.vA };
    for (const auto* a : { &b.uS, &b.vS, &b.uT, &b.vT })
        requireCells2D(s, *a);
    return b;
}

void abandon2D(
    SimState& s, const EngineError& e, std::int32_t i, std::int32_t j, float synU, float synV)
{
    s.synU = synU;
    s.synV = synV;
    throw EngineError(
        e.kind(), "at cell column " + std::to_string(i) + ", row " + std::to_string(j));
}

} // namespace cells

namespace scalar {

namespace {

template <Model M> void step2D(SimState& s, const cells::Buffers2D& b)
{
    const cells::Grid2D g = cells::grid2D(s, b);
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0, j = 0;
    fp::clearFlags();
    try {
        for (j = 0; j <= g.L; ++j)
            for (i = 0; i <= g.L; ++i)
                cells::cell2D<M>(g, i, j, synU, synV);
    } catch (const EngineError& e) {
        cells::abandon2D(s, e, i, j, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
}

void step2D(SimState& s, Model model, bool fromA)
{
    const cells::Buffers2D b = cells::buffers2D(s, fromA);
    withModel(model, [&](auto m) { step2D<decltype(m)::value>(s, b); });
    // Only a complete step changes which set is current.
    s.phaseA = fromA ? kFalse : kTrue;
}

} // namespace

void Step2DFromA(SimState& s, Model model)
{
    step2D(s, model, true);
}
void Step2DFromB(SimState& s, Model model)
{
    step2D(s, model, false);
}

} // namespace scalar

} // namespace rd
