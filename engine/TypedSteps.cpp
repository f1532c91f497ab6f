// The typed steps. The rates of consecutive cells (several rows of a small field, part of a
// row of a large one) are computed together, a program instruction at a time; then each
// row's cells are stored by the vector kernels or, on the scalar path, one by one. The edge
// cells of rows shorter than a block, a chunk whose rates raised anything and whatever a
// kernel refused go through the per-cell code. Cells are visited in the order of the plain
// loops, so the per-cell code always starts a cell with the increments and the flags it
// would have there.
#include "engine/TypedStep.h"

#include "engine/Integrators.h"
#include "engine/TypedBlockEval.h"
#include "engine/TypedCells.h"
#include "engine/TypedRows.h"

#include <algorithm>

namespace rd::typed {

namespace {

// One lane of plain code: the scalar path's evaluation of a chunk.
struct OneLane {
    using F = float;
    static constexpr int W = 1;
    static F load(const float* p) { return *p; }
    static void store(float* p, F x) { *p = x; }
    static F set(float x) { return x; }
    static F add(F a, F b) { return a + b; }
    static F sub(F a, F b) { return a - b; }
    static F mul(F a, F b) { return a * b; }
    static F div(F a, F b) { return a / b; }
    static unsigned zeroF(F x) { return x == 0.0f ? 1u : 0u; }
};

// The working memory of one range of rows: the per-cell register file and the chunk rows.
struct Work {
    std::vector<float> regs;
    std::vector<float> scratch;
    explicit Work(const StepPlan& plan)
        : regs(plan.regs)
        , scratch(plan.program->rowCount * kChunk)
    { }
};

SpanArgs spanArgs(const StepPlan& plan, Work& w, const float* uS, const float* vS, float* uT,
    float* vT, std::int64_t stride, double cu, double cv, double su, double sv)
{
    const Program& p = *plan.program;
    return { uS, vS, uT, vT, stride, p.blockCode.data(), p.blockCode.size(), p.fOperand, p.gOperand,
        plan.regs.data(), w.scratch.data(), 0, plan.gain, cu, cv, su, sv, cu + cu, cv + cv };
}

// Redoes cells from..end-1 with the per-cell code, from clear flags.
template <typename Cell>
void redo(std::int32_t from, std::int32_t end, std::int32_t& i, const Cell& cell)
{
    fp::clearFlags();
    for (i = from; i < end; ++i)
        cell(i);
}

// The vector path: a chunk's rates and a row's stores on the kernels.
struct VectorCells {
    const Kernels& k;
    SpanArgs a;
    SpanFn span = nullptr; // the stores of the current row's stencil, or of the line

    int width() const { return k.width; }

    bool rates(std::int64_t begin, std::int64_t end)
    {
        a.ratesBase = begin;
        return k.rates(a, begin, end) == 0;
    }

    // Cells first..end-1 (at least a block) of a row or line of `length` cells at flat index
    // base + i, from rates computed before.
    template <typename Cell, typename Store>
    void store(std::int64_t base, std::int32_t first, std::int32_t end, std::int32_t length,
        std::int32_t& i, float& synU, float& synV, const Cell& cell, const Store&)
    {
        const unsigned edges
            = (first == 0 ? simd::kFirstIsEdge : 0u) | (end == length ? simd::kLastIsEdge : 0u);
        const std::int64_t stop = span(a, base + first, base + end, edges, synU, synV);
        if (stop != base + end)
            redo(static_cast<std::int32_t>(stop - base), end, i, cell);
    }
};

// The scalar path: a chunk's rates on one lane, each cell's stores from its increments. A cell
// whose scaling raised a flag is redone by the per-cell code, which raises the error.
struct ScalarCells {
    const StepPlan& plan;
    Work& w;
    const float* uS;
    const float* vS;
    std::int64_t ratesBase = 0;
    Lanes f {}, g {};

    int width() const { return 1; }

    bool rates(std::int64_t begin, std::int64_t end)
    {
        ratesBase = begin;
        const Program& p = *plan.program;
        const float* u = uS + begin;
        const float* v = vS + begin;
        const unsigned zero = evalChunk<OneLane>(p.blockCode.data(), p.blockCode.size(),
            plan.regs.data(), u, v, static_cast<int>(end - begin), w.scratch.data());
        f = lanes(p.fOperand, plan.regs.data(), u, v, w.scratch.data());
        g = lanes(p.gOperand, plan.regs.data(), u, v, w.scratch.data());
        return zero == 0 && !fp::overflowOrInvalid(0.0f);
    }

    template <typename Cell, typename Store>
    void store(std::int64_t base, std::int32_t first, std::int32_t end, std::int32_t,
        std::int32_t& i, float& synU, float& synV, const Cell& cell, const Store& storeCell)
    {
        for (i = first; i < end; ++i) {
            const auto r = static_cast<int>(base + i - ratesBase);
            const float incU = f.at(r) * plan.gain;
            const float incV = g.at(r) * plan.gain;
            if (fp::overflowOrInvalid(incU) || fp::overflowOrInvalid(incV)) {
                fp::clearFlags();
                cell(i);
            }
            synU = incU;
            synV = incV;
            storeCell(i);
        }
    }
};

// Cells first..end-1 of a row or the line, `length` cells long at flat index base + i, in
// chunks of at most kChunk: each chunk's rates, then its stores.
template <typename Cells, typename Cell, typename Store>
void segment(Cells& c, std::int64_t base, std::int32_t first, std::int32_t end, std::int32_t length,
    std::int32_t& i, float& synU, float& synV, const Cell& cell, const Store& store)
{
    if (end - first < c.width()) {
        for (i = first; i < end; ++i)
            cell(i);
        return;
    }
    for (std::int32_t from = first; from < end;) {
        const std::int32_t to = std::min(from + kChunk, end);
        from = std::min(from, to - c.width()); // a short last chunk overlaps the one before
        if (c.rates(base + from, base + to))
            c.store(base, from, to, length, i, synU, synV, cell, store);
        else
            redo(from, to, i, cell);
        from = to;
    }
}

// Rows jBegin..jEnd-1. Rows that fit a chunk share one evaluation of their rates; a row
// shorter than a block keeps its edge cells on the per-cell code.
template <typename Cells>
void rows(Cells& c, const cells::Typed2D& t, std::int32_t jBegin, std::int32_t jEnd, float& synU,
    float& synV, std::int32_t& i, std::int32_t& j)
{
    const std::int32_t N = t.g.N, L = t.g.L;
    const std::int32_t together = std::max(1, kChunk / std::max(N, 1));
    for (std::int32_t j0 = jBegin; j0 < jEnd; j0 += together) {
        const std::int32_t j1 = N > kChunk ? j0 + 1 : std::min(j0 + together, jEnd);
        const std::int64_t first = std::int64_t { j0 } * N, end = std::int64_t { j1 } * N;
        const bool clean = N <= kChunk && end - first >= c.width() && c.rates(first, end);
        if (!clean)
            fp::clearFlags();
        for (j = j0; j < j1; ++j) {
            const auto cell = [&](std::int32_t col) { cells::cell2D(t, col, j, synU, synV); };
            const auto store = [&](std::int32_t col) { cells::store2D(t, col, j, synU, synV); };
            const std::int64_t base = std::int64_t { j } * N;
            i = 0;
            c.selectRow(j);
            if (N > kChunk) {
                segment(c, base, 0, N, N, i, synU, synV, cell, store);
            } else if (!clean) {
                for (i = 0; i <= L; ++i)
                    cell(i);
            } else if (N >= c.width()) {
                c.store(base, 0, N, N, i, synU, synV, cell, store);
            } else {
                cell(0);
                if (L == 0)
                    continue;
                if (L - 1 >= c.width())
                    c.store(base, 1, L, N, i, synU, synV, cell, store);
                else
                    redo(1, L, i, cell);
                i = L;
                cell(L);
            }
        }
    }
}

void run1D(SimState& s, const StepPlan& plan, const Kernels* kernels)
{
    Work w(plan);
    const cells::Typed1D t { rd::cells::line1D(s), plan.program, w.regs.data(), plan.gain };
    const rd::cells::Line1D& g = t.g;
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0;
    const std::int32_t n = g.L + 1;
    fp::clearFlags();
    try {
        const auto cell = [&](std::int32_t c) { cells::cell1D(t, c, synU, synV); };
        const auto store = [&](std::int32_t c) { rd::cells::store1D(g, c, synU, synV); };
        const auto line = [&](auto& c) {
            // The kernels' line ends read the neighbour next to them, so only a line whose
            // inner end cell is that neighbour runs whole on them.
            if (n >= c.width() && g.inner == g.L - 1) {
                segment(c, 0, 0, n, n, i, synU, synV, cell, store);
                return;
            }
            if (g.L >= 0)
                cell(0);
            if (g.L >= 1) {
                segment(c, 0, 1, g.L, n, i, synU, synV, cell, store);
                i = g.L;
                cell(g.L);
            }
        };
        if (plan.perCellOnly) {
            for (i = 0; i < n; ++i)
                cell(i);
        } else if (kernels == nullptr) {
            ScalarCells c { plan, w, g.uA, g.vA };
            line(c);
        } else {
            VectorCells c { *kernels,
                spanArgs(plan, w, g.uA, g.vA, g.uB, g.vB, 0, g.cu, g.cv, g.su, g.sv),
                kernels->line };
            line(c);
        }
    } catch (const EngineError& e) {
        rd::cells::abandon1D(s, e, i, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    if (plan.clamp) {
        rd::cells::copyBack1D(s);
    } else if (n > 0) {
        std::copy_n(s.uB.begin(), n, s.uA.begin());
        std::copy_n(s.vB.begin(), n, s.vA.begin());
    }
}

} // namespace

StepPlan makeStepPlan(const TypedModel& model, float gain)
{
    StepPlan plan { model.program.get(), initialRegisters(model), gain, model.clamp, false };
    fp::clearFlags();
    try {
        for (const Instr& in : model.program->uniformCode) {
            cells::run(in, plan.regs.data());
            plan.perCellOnly = plan.perCellOnly || fp::overflowOrInvalid(plan.regs[in.dst]);
        }
    } catch (const EngineError&) {
        plan.perCellOnly = true;
    }
    return plan;
}

void rows2D(const StepPlan& plan, const rd::cells::Grid2D& g, const Kernels* kernels,
    std::int32_t jBegin, std::int32_t jEnd, float& synU, float& synV, std::int32_t& i,
    std::int32_t& j)
{
    Work w(plan);
    const cells::Typed2D t { g, plan.program, w.regs.data(), plan.gain, plan.clamp };
    fp::clearFlags();
    i = 0;
    j = jBegin;
    if (plan.perCellOnly) {
        for (j = jBegin; j < jEnd; ++j)
            for (i = 0; i <= g.L; ++i)
                cells::cell2D(t, i, j, synU, synV);
    } else if (kernels == nullptr) {
        struct Scalar : ScalarCells {
            void selectRow(std::int32_t) { }
        } c { { plan, w, g.uS, g.vS } };
        rows(c, t, jBegin, jEnd, synU, synV, i, j);
    } else {
        struct Vector : VectorCells {
            std::int32_t last;
            bool clamp;
            void selectRow(std::int32_t row)
            {
                span = k.get(clamp,
                    row == 0 ? simd::Stencil::Top
                             : (row == last ? simd::Stencil::Bottom : simd::Stencil::Middle));
            }
        } c { { *kernels, spanArgs(plan, w, g.uS, g.vS, g.uT, g.vT, g.N, g.cu, g.cv, g.su, g.sv) },
            g.L, plan.clamp };
        rows(c, t, jBegin, jEnd, synU, synV, i, j);
    }
}

namespace {

void step2D(SimState& s, const TypedModel& model, bool fromA, const Kernels* kernels)
{
    const rd::cells::Buffers2D b = rd::cells::buffers2D(s, fromA);
    const rd::cells::Grid2D g = rd::cells::grid2D(s, b);
    const StepPlan plan = makeStepPlan(model, s.reactGain);
    float synU = s.synU, synV = s.synV;
    std::int32_t i = 0, j = 0;
    try {
        rows2D(plan, g, kernels, 0, g.L + 1, synU, synV, i, j);
    } catch (const EngineError& e) {
        rd::cells::abandon2D(s, e, i, j, synU, synV);
    }
    s.synU = synU;
    s.synV = synV;
    // Only a complete step changes which set is current.
    s.phaseA = fromA ? kFalse : kTrue;
}

void step1D(SimState& s, const TypedModel& model, const Kernels* kernels)
{
    rd::cells::requireCells1D(s);
    run1D(s, makeStepPlan(model, s.reactGain), kernels);
}

template <auto OneD, auto TwoD>
void stepCurrent(SimState& s, const TypedModel& model, Dimension dim)
{
    if (dim == Dimension::One)
        OneD(s, model);
    else
        TwoD(s, model, s.phaseA != 0);
}

void dispatched1D(SimState& s, const TypedModel& model)
{
    step1D(s, model, dispatchedKernels());
}
void scalar1D(SimState& s, const TypedModel& model)
{
    step1D(s, model, nullptr);
}
void dispatched2D(SimState& s, const TypedModel& model, bool fromA)
{
    step2D(s, model, fromA, dispatchedKernels());
}
void scalar2D(SimState& s, const TypedModel& model, bool fromA)
{
    step2D(s, model, fromA, nullptr);
}

} // namespace

} // namespace rd::typed

namespace rd {

void Step2DFromA(SimState& s, const TypedModel& model)
{
    typed::dispatched2D(s, model, true);
}
void Step2DFromB(SimState& s, const TypedModel& model)
{
    typed::dispatched2D(s, model, false);
}
void Step1D(SimState& s, const TypedModel& model)
{
    typed::dispatched1D(s, model);
}
void step(SimState& s, const TypedModel& model, Dimension dim)
{
    typed::stepCurrent<&typed::dispatched1D, &typed::dispatched2D>(s, model, dim);
}

void scalar::Step2DFromA(SimState& s, const TypedModel& model)
{
    typed::scalar2D(s, model, true);
}
void scalar::Step2DFromB(SimState& s, const TypedModel& model)
{
    typed::scalar2D(s, model, false);
}
void scalar::Step1D(SimState& s, const TypedModel& model)
{
    typed::scalar1D(s, model);
}
void scalar::step(SimState& s, const TypedModel& model, Dimension dim)
{
    typed::stepCurrent<&typed::scalar1D, &typed::scalar2D>(s, model, dim);
}

} // namespace rd
