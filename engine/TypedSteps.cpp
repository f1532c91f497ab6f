// The typed steps: the cells of each row (or the line) in chunks whose rates are computed a
// program instruction at a time, stored by the vector kernels or, on the scalar path, cell
// by cell; the edge cells of rows shorter than a block, and whatever a chunk left undone,
// go through the per-cell code. Cells are visited in the order of the plain loops, so the
// per-cell code always starts a cell with the increments and the flags it would have there.
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
    return { uS, vS, uT, vT, stride, plan.program, plan.regs.data(), w.scratch.data(), plan.gain,
        cu, cv, su, sv, cu + cu, cv + cv };
}

// True when a flag is up after every result so far is in memory.
bool flagRaised()
{
    asm volatile("" ::: "memory");
    return fp::overflowOrInvalid(0.0f);
}

// Cells first..end-1 of a row or the line on the kernel, in chunks, each computed with the
// mirrored rules at the row's ends (its length is `length`), at flat index base + i.
template <typename Cell>
void kernelCells(SpanFn kernel, int width, const SpanArgs& a, std::int64_t base, std::int32_t first,
    std::int32_t end, std::int32_t length, std::int32_t& i, float& synU, float& synV, Cell&& cell)
{
    if (end - first < width) {
        for (i = first; i < end; ++i)
            cell(i);
        return;
    }
    for (std::int32_t c = first; c < end;) {
        const std::int32_t ce = std::min(c + kChunk, end);
        c = std::min(c, ce - width); // a short last chunk overlaps the one before
        const unsigned edges
            = (c == 0 ? simd::kFirstIsEdge : 0u) | (ce == length ? simd::kLastIsEdge : 0u);
        const std::int64_t stop = kernel(a, base + c, base + ce, edges, synU, synV);
        if (stop != base + ce) {
            fp::clearFlags();
            for (i = static_cast<std::int32_t>(stop - base); i < ce; ++i)
                cell(i);
        }
        c = ce;
    }
}

// Cells first..end-1 on the scalar path: the rates of a chunk at once, then each cell's
// stores from its increments; a chunk whose rates raised anything, and a cell whose scaling
// did, are redone by the per-cell code. u and v point at cell `first`.
template <typename Store, typename Cell>
void scalarCells(const StepPlan& plan, Work& w, const float* u, const float* v,
    std::int32_t first, std::int32_t end, std::int32_t& i, float& synU, float& synV,
    Store&& store, Cell&& cell)
{
    const Program& p = *plan.program;
    for (std::int32_t c = first; c < end; c += kChunk) {
        const std::int32_t ce = std::min(c + kChunk, end);
        const float* uc = u + (c - first);
        const float* vc = v + (c - first);
        const bool clean = evalChunk<OneLane>(p, plan.regs.data(), uc, vc, ce - c,
                               w.scratch.data())
                == 0
            && !flagRaised();
        if (!clean) {
            fp::clearFlags();
            for (i = c; i < ce; ++i)
                cell(i);
            continue;
        }
        const Lanes f = lanes(p.fOperand, plan.regs.data(), uc, vc, w.scratch.data());
        const Lanes g = lanes(p.gOperand, plan.regs.data(), uc, vc, w.scratch.data());
        for (i = c; i < ce; ++i) {
            const float incU = f.at(i - c) * plan.gain;
            const float incV = g.at(i - c) * plan.gain;
            if (fp::overflowOrInvalid(incU) || fp::overflowOrInvalid(incV)) {
                fp::clearFlags();
                cell(i); // raises the error where the per-cell code does
            }
            synU = incU;
            synV = incV;
            store(i);
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
        const SpanArgs a = spanArgs(plan, w, g.uA, g.vA, g.uB, g.vB, 0, g.cu, g.cv, g.su, g.sv);
        if (plan.perCellOnly) {
            for (i = 0; i < n; ++i)
                cell(i);
        } else if (kernels == nullptr) {
            scalarCells(plan, w, g.uA, g.vA, 0, n, i, synU, synV, store, cell);
        } else if (n >= kernels->width && g.inner == g.L - 1) {
            // The kernels' line ends read the neighbour next to them, so only a line whose
            // inner end cell is that neighbour runs whole on them.
            kernelCells(kernels->line, kernels->width, a, 0, 0, n, n, i, synU, synV, cell);
        } else {
            if (g.L >= 0)
                cell(0);
            if (g.L >= 1) {
                kernelCells(kernels->line, kernels->width, a, 0, 1, g.L, n, i, synU, synV, cell);
                i = g.L;
                cell(g.L);
            }
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
    const SpanArgs a = spanArgs(plan, w, g.uS, g.vS, g.uT, g.vT, g.N, g.cu, g.cv, g.su, g.sv);
    fp::clearFlags();
    for (j = jBegin; j < jEnd; ++j) {
        const auto cell = [&](std::int32_t col) { cells::cell2D(t, col, j, synU, synV); };
        const std::int64_t base = static_cast<std::int64_t>(j) * g.N;
        i = 0;
        if (plan.perCellOnly) {
            for (i = 0; i <= g.L; ++i)
                cell(i);
            continue;
        }
        if (kernels == nullptr) {
            const auto store = [&](std::int32_t col) { cells::store2D(t, col, j, synU, synV); };
            scalarCells(plan, w, g.uS + base, g.vS + base, 0, g.N, i, synU, synV, store, cell);
            continue;
        }
        const simd::Stencil stencil = j == 0 ? simd::Stencil::Top
                                             : (j == g.L ? simd::Stencil::Bottom
                                                         : simd::Stencil::Middle);
        const SpanFn kernel = kernels->get(plan.clamp, stencil);
        // A row of at least one block runs whole on the kernels; a shorter one keeps its
        // edge cells on the per-cell code.
        if (g.N >= kernels->width) {
            kernelCells(kernel, kernels->width, a, base, 0, g.N, g.N, i, synU, synV, cell);
            continue;
        }
        cell(0);
        if (g.L == 0)
            continue;
        kernelCells(kernel, kernels->width, a, base, 1, g.L, g.N, i, synU, synV, cell);
        i = g.L;
        cell(g.L);
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
