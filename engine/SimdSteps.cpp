// The dispatched 2D and 1D steps: the cells away from the edges go through the vector
// kernels in blocks; the edge cells, a row shorter than a block, the remainder of a
// short run and every block a kernel refused go through the per-cell code. Cells are
// visited in the order of the plain loops, so the per-cell code always starts a cell
// with the increments and the status flags it would have there.
#include "engine/SimdKernels.h"
#include "engine/StepCells.h"

#include <algorithm>
#include <cstdint>

namespace rd::simd {

namespace {

// Columns (or line cells) first..end-1 of one run of cells alike, at flat index base + i,
// in a row (or line) of `length` cells: a span from column 0 or to the last column is
// computed with the mirrored edge rules. i names the cell being computed, for the error
// message.
template <typename Cell>
void runCells(SpanFn kernel, int width, const SpanArgs& a, std::int64_t base, std::int32_t first,
    std::int32_t end, std::int32_t length, std::int32_t& i, float& synU, float& synV, Cell&& cell)
{
    while (first < end) {
        if (end - first < width) {
            for (i = first; i < end; ++i)
                cell(i);
            return;
        }
        const unsigned edges
            = (first == 0 ? kFirstIsEdge : 0u) | (end == length ? kLastIsEdge : 0u);
        const std::int64_t stop = kernel(a, base + first, base + end, edges, synU, synV);
        if (stop == base + end)
            return;
        // The block from stop on raised a flag or met a zero denominator and stored
        // nothing. Redo it cell by cell from clear flags: the per-cell code raises the
        // error at the cell where the plain loop raises it (or, for a flag it would not
        // have raised, completes the block).
        const auto from = static_cast<std::int32_t>(stop - base);
        const std::int32_t to = std::min(from + width, end);
        fp::clearFlags();
        for (i = from; i < to; ++i)
            cell(i);
        first = to;
    }
}

SpanArgs spanArgs(const float* uS, const float* vS, float* uT, float* vT, std::int64_t stride,
    const KineticsConstants& c, double cu, double cv, double su, double sv)
{
    return { uS, vS, uT, vT, stride, c.kA, c.kB, c.kC, c.reactGain, -(c.kB + c.kA), cu, cv, su, sv,
        cu + cu, cv + cv };
}

// Rows jBegin..jEnd-1 on the kernels, or on the per-cell code when there are none.
template <Model M>
void rows(const cells::Grid2D& g, const Kernels* kernels, std::int32_t jBegin, std::int32_t jEnd,
    float& synU, float& synV, std::int32_t& i, std::int32_t& j)
{
    const SpanArgs a = spanArgs(g.uS, g.vS, g.uT, g.vT, g.N, g.c, g.cu, g.cv, g.su, g.sv);
    fp::clearFlags();
    for (j = jBegin; j < jEnd; ++j) {
        const auto cell = [&](std::int32_t col) { cells::cell2D<M>(g, col, j, synU, synV); };
        i = 0;
        if (kernels == nullptr) {
            for (i = 0; i <= g.L; ++i)
                cell(i);
            continue;
        }
        const Stencil stencil
            = j == 0 ? Stencil::Top : (j == g.L ? Stencil::Bottom : Stencil::Middle);
        const SpanFn kernel = kernels->get(M, stencil);
        const std::int64_t base = static_cast<std::int64_t>(j) * g.N;
        // A row of at least one block runs whole on the kernels; a shorter one keeps its
        // edge cells on the per-cell code.
        if (g.N >= kernels->width) {
            runCells(kernel, kernels->width, a, base, 0, g.N, g.N, i, synU, synV, cell);
            continue;
        }
        cell(0);
        if (g.L == 0)
            continue;
        runCells(kernel, kernels->width, a, base, 1, g.L, g.N, i, synU, synV, cell);
        i = g.L;
        cell(g.L);
    }
}

template <Model M> void run1D(SimState& s, const Kernels& kernels)
{
    const cells::Line1D g = cells::line1D(s);
    const SpanArgs a = spanArgs(g.uA, g.vA, g.uB, g.vB, 0, g.c, g.cu, g.cv, g.su, g.sv);
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0;
    fp::clearFlags();
    try {
        const auto cell = [&](std::int32_t c) { cells::cell1D<M>(g, c, synU, synV); };
        const SpanFn kernel = kernels.get(M, Stencil::Line);
        const std::int32_t n = g.L + 1;
        // The kernels' line ends read the neighbour next to them, so only a line whose
        // inner end cell is that neighbour runs whole on them.
        if (n >= kernels.width && g.inner == g.L - 1) {
            runCells(kernel, kernels.width, a, 0, 0, n, n, i, synU, synV, cell);
        } else {
            if (g.L >= 0)
                cell(0);
            if (g.L >= 1) {
                runCells(kernel, kernels.width, a, 0, 1, g.L, n, i, synU, synV, cell);
                i = g.L;
                cell(g.L);
            }
        }
    } catch (const EngineError& e) {
        cells::abandon1D(s, e, i, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    if (g.L + 1 >= kernels.width) {
        kernels.clampCopy(s.uB.data(), s.uA.data(), g.L + 1);
        kernels.clampCopy(s.vB.data(), s.vA.data(), g.L + 1);
    } else {
        cells::copyBack1D(s);
    }
}

} // namespace

void rows2D(const cells::Grid2D& g, Model model, const Kernels* kernels, std::int32_t jBegin,
    std::int32_t jEnd, float& synU, float& synV, std::int32_t& i, std::int32_t& j)
{
    withModel(model,
        [&](auto m) { rows<decltype(m)::value>(g, kernels, jBegin, jEnd, synU, synV, i, j); });
}

void step2D(SimState& s, Model model, bool fromA, const Kernels& kernels)
{
    const cells::Buffers2D b = cells::buffers2D(s, fromA);
    const cells::Grid2D g = cells::grid2D(s, b);
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0, j = 0;
    try {
        rows2D(g, model, &kernels, 0, g.L + 1, synU, synV, i, j);
    } catch (const EngineError& e) {
        cells::abandon2D(s, e, i, j, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    // Only a complete step changes which set is current.
    s.phaseA = fromA ? kFalse : kTrue;
}

void step1D(SimState& s, Model model, const Kernels& kernels)
{
    cells::requireCells1D(s);
    withModel(model, [&](auto m) { run1D<decltype(m)::value>(s, kernels); });
}

} // namespace rd::simd
