// The rates of a chunk of cells, one program instruction at a time over the whole chunk, for
// an instruction set given as traits I (load, store, set, add, sub, mul, div, zeroF and the
// width W; a plain one-lane set for the scalar path). Internal linkage throughout: each
// kernel unit keeps its own copy, built for its instruction set.
//
// Each lane performs the per-cell code's operation (TypedCells.h) on the same operands:
// + - * / are the IEEE single-precision operations, correctly rounded whatever the register
// width, never fused; negation and the functions are the same scalar code in every lane. So
// a lane's result is the per-cell result, bits and status flags alike. A chunk that is not
// a multiple of the width ends with a block that overlaps the one before it: it recomputes
// the same values, which is harmless because no result shares a row with its operands.
#pragma once

#include "engine/TypedFunctions.h"
#include "engine/TypedKernels.h"

#include <cstdint>

namespace rd::typed {
namespace {

// Blocks of W cells covering [0, n), n >= W, the last one overlapping if need be.
template <int W, class Body> inline void forBlocks(int n, Body&& body)
{
    int k = 0;
    for (; k + 2 * W <= n; k += 2 * W) {
        body(k);
        body(k + W);
    }
    for (; k + W <= n; k += W)
        body(k);
    if (k < n)
        body(n - W);
}

// An operand in a chunk: its cells, or one value for all of them.
struct Lanes {
    const float* p;
    float c;
    bool uniform() const { return p == nullptr; }
    float at(int k) const { return p == nullptr ? c : p[k]; }
};

inline Lanes lanes(
    const Operand& o, const float* regs, const float* u, const float* v, const float* scratch)
{
    switch (o.kind) {
    case Operand::Kind::U:
        return { u, 0.0f };
    case Operand::Kind::V:
        return { v, 0.0f };
    case Operand::Kind::Uniform:
        return { nullptr, regs[o.index] };
    case Operand::Kind::Row:
        break;
    }
    return { scratch + static_cast<std::int64_t>(o.index) * kChunk, 0.0f };
}

template <class I, bool Division, class Fn>
inline void binary(Lanes a, Lanes b, float* dst, int n, unsigned& zero, Fn fn)
{
    using F = typename I::F;
    if (a.uniform()) {
        const F x = I::set(a.c);
        forBlocks<I::W>(n, [&](int k) {
            const F y = I::load(b.p + k);
            if constexpr (Division)
                zero |= I::zeroF(y);
            I::store(dst + k, fn(x, y));
        });
    } else if (b.uniform()) {
        if (Division && b.c == 0.0f)
            zero = 1;
        const F y = I::set(b.c);
        forBlocks<I::W>(n, [&](int k) { I::store(dst + k, fn(I::load(a.p + k), y)); });
    } else {
        forBlocks<I::W>(n, [&](int k) {
            const F y = I::load(b.p + k);
            if constexpr (Division)
                zero |= I::zeroF(y);
            I::store(dst + k, fn(I::load(a.p + k), y));
        });
    }
}

// Runs the program's per-block code over cells [0, n) of u and v (W <= n <= kChunk) into
// the scratch rows. Returns non-zero when some cell met a zero divisor or log argument.
template <class I>
unsigned evalChunk(const BlockInstr* code, std::size_t count, const float* regs, const float* u,
    const float* v, int n, float* scratch)
{
    using F = typename I::F;
    unsigned zero = 0;
    for (std::size_t c = 0; c < count; ++c) {
        const BlockInstr& in = code[c];
        float* dst = scratch + static_cast<std::int64_t>(in.row) * kChunk;
        const Lanes a = lanes(in.a, regs, u, v, scratch);
        const Lanes b = lanes(in.b, regs, u, v, scratch);
        switch (in.op) {
        case Op::Add:
            binary<I, false>(a, b, dst, n, zero, [](F x, F y) { return I::add(x, y); });
            break;
        case Op::Sub:
            binary<I, false>(a, b, dst, n, zero, [](F x, F y) { return I::sub(x, y); });
            break;
        case Op::Mul:
            binary<I, false>(a, b, dst, n, zero, [](F x, F y) { return I::mul(x, y); });
            break;
        case Op::Div:
            binary<I, true>(a, b, dst, n, zero, [](F x, F y) { return I::div(x, y); });
            break;
        case Op::Neg:
            for (int k = 0; k < n; ++k)
                dst[k] = -a.p[k];
            break;
        case Op::Min:
        case Op::Max:
            for (int k = 0; k < n; ++k)
                dst[k] = callFunction2(in.op, a.at(k), b.at(k));
            break;
        case Op::Log:
            for (int k = 0; k < n; ++k) {
                zero |= a.p[k] == 0.0f ? 1u : 0u;
                dst[k] = callFunction(in.op, a.p[k]);
            }
            break;
        case Op::Sqrt:
        case Op::Exp:
        case Op::Abs:
        case Op::Tanh:
            for (int k = 0; k < n; ++k)
                dst[k] = callFunction(in.op, a.p[k]);
            break;
        }
    }
    // Every result is in memory before anything after this reads the status flags.
    asm volatile("" ::: "memory");
    return zero;
}

} // namespace
} // namespace rd::typed
