// The per-cell code of the typed step: the reference every faster path must equal, bit for
// bit and error for error. It runs the whole program for one cell, in order, with the
// checks of the built-in models: a zero divisor (or log argument) raises a division by zero
// before the operation, and the status flags are tested when f, g and the scaled increments
// are stored, and at the cell's two stores, as StepCells.h does for the built-ins.
#pragma once

#include "engine/EngineError.h"
#include "engine/FpStatus.h"
#include "engine/StepCells.h"
#include "engine/TypedFunctions.h"
#include "engine/TypedModel.h"

#include <cstdint>

namespace rd::typed::cells {

[[noreturn]] inline void divisionByZero()
{
    throw EngineError(EngineError::Kind::DivisionByZero, {});
}

inline void run(const Instr& in, float* r)
{
    const float a = r[in.a], b = r[in.b];
    switch (in.op) {
    case Op::Add:
        r[in.dst] = a + b;
        return;
    case Op::Sub:
        r[in.dst] = a - b;
        return;
    case Op::Mul:
        r[in.dst] = a * b;
        return;
    case Op::Div:
        if (b == 0.0f)
            divisionByZero();
        r[in.dst] = a / b;
        return;
    case Op::Neg:
        r[in.dst] = -a;
        return;
    case Op::Log:
        if (a == 0.0f)
            divisionByZero();
        r[in.dst] = callFunction(in.op, a);
        return;
    case Op::Min:
    case Op::Max:
        r[in.dst] = callFunction2(in.op, a, b);
        return;
    case Op::Sqrt:
    case Op::Exp:
    case Op::Abs:
    case Op::Tanh:
        r[in.dst] = callFunction(in.op, a);
        return;
    }
}

// The increments of one cell into synU and synV (the caller clears the flags before its
// first cell). regs is the model's register file (initialRegisters).
inline void rates(
    const Program& p, float* regs, float gain, float u, float v, float& synU, float& synV)
{
    regs[kRegU] = u;
    regs[kRegV] = v;
    const std::size_t n = p.code.size();
    for (std::size_t k = 0; k < p.fEnd; ++k)
        run(p.code[k], regs);
    synU = regs[p.fReg];
    fp::checkStore(synU);
    for (std::size_t k = p.fEnd; k < n; ++k)
        run(p.code[k], regs);
    synV = regs[p.gReg];
    fp::checkStore(synV);
    synU = synU * gain;
    fp::checkStore(synU);
    synV = synV * gain;
    fp::checkStore(synV);
}

// What the per-cell code of a 2D step needs beyond the built-ins' grid.
struct Typed2D {
    rd::cells::Grid2D g;
    const Program* program;
    float* regs;
    float gain;
    bool clamp;
};

// The stores of one 2D cell from its increments: the built-ins' rule, and their clamp if the
// model has it.
inline void store2D(const Typed2D& t, std::int32_t i, std::int32_t j, float synU, float synV)
{
    if (t.clamp)
        rd::cells::store2D<true>(t.g, i, j, synU, synV);
    else
        rd::cells::store2D<false>(t.g, i, j, synU, synV);
}

inline void cell2D(const Typed2D& t, std::int32_t i, std::int32_t j, float& synU, float& synV)
{
    const std::int64_t k = static_cast<std::int64_t>(j) * t.g.N + i;
    rates(*t.program, t.regs, t.gain, t.g.uS[k], t.g.vS[k], synU, synV);
    store2D(t, i, j, synU, synV);
}

struct Typed1D {
    rd::cells::Line1D g;
    const Program* program;
    float* regs;
    float gain;
};

inline void cell1D(const Typed1D& t, std::int32_t i, float& synU, float& synV)
{
    rates(*t.program, t.regs, t.gain, t.g.uA[i], t.g.vA[i], synU, synV);
    rd::cells::store1D(t.g, i, synU, synV);
}

} // namespace rd::typed::cells
