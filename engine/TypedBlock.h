// The typed models' kernels for one instruction set, given as the traits I of SimdBlock.h.
// Included by the kernel units after SimdBlock.h; internal to the including unit.
//
// A chunk's rates come from evalChunk (TypedBlockEval.h); the stores are the built-ins'
// (SimdBlock.h's diffusion and update, the same lanes and edge rules), the increments being
// the rates times the gain, rounded to single, as the per-cell code scales them. Errors: the
// flags are clear when a chunk starts, and its rates report a flag or a zero divisor before
// anything is stored; then a flag from a block's stores keeps that block from being stored.
// Either way the caller redoes the cells from there one by one, which raises the per-cell
// code's error at its cell (or completes them, for a flag that only a stand-in lane raised).
#pragma once

#include "engine/SimdBlock.h"
#include "engine/TypedBlockEval.h"

namespace rd::typed {
namespace {

using simd::Stencil;

template <class I> struct Increments {
    Lanes lanes;
    std::int64_t begin;
    simd::Fv<I> at(std::int64_t k, simd::Fv<I> gain) const
    {
        const simd::Fv<I> r
            = lanes.uniform() ? simd::splat<I>(lanes.c) : simd::load<I>(lanes.p + (k - begin));
        return r * gain;
    }
};

template <class I> unsigned typedRates(const SpanArgs& a, std::int64_t begin, std::int64_t end)
{
    const unsigned zero = evalChunk<I>(a.code, a.codeSize, a.regs, a.uS + begin, a.vS + begin,
        static_cast<int>(end - begin), a.scratch);
    // evalChunk's results are all in memory, so its flags are up by now.
    const typename I::F none = I::set(0.0f);
    return zero | (I::overflowOrInvalid(none, none) ? 1u : 0u);
}

template <class I, Stencil S, bool Clamp>
std::int64_t typedSpan(const SpanArgs& a, std::int64_t begin, std::int64_t end, unsigned edges,
    float& synU, float& synV)
{
    using simd::Fv;
    constexpr int W = I::W;
    const float* u0 = a.uS + a.ratesBase;
    const float* v0 = a.vS + a.ratesBase;
    const Increments<I> f { lanes(a.f, a.regs, u0, v0, a.scratch), a.ratesBase };
    const Increments<I> g { lanes(a.g, a.regs, u0, v0, a.scratch), a.ratesBase };
    const Fv<I> gain = simd::splat<I>(a.gain);
    const simd::Dv<I> cu = simd::splat<I>(a.cu), cv = simd::splat<I>(a.cv);
    const simd::Dv<I> cu2 = simd::splat<I>(a.cu2), cv2 = simd::splat<I>(a.cv2);
    const simd::Dv<I> su = simd::splat<I>(a.su), sv = simd::splat<I>(a.sv);
    std::int64_t k = begin;
    for (;;) {
        const bool first = k == begin && (edges & simd::kFirstIsEdge) != 0;
        const bool last = k + W == end && (edges & simd::kLastIsEdge) != 0;
        const Fv<I> u = simd::load<I>(a.uS + k), v = simd::load<I>(a.vS + k);
        const Fv<I> incU = f.at(k, gain), incV = g.at(k, gain);
        Fv<I> uNew = simd::update<I>(
            simd::diffusion<I, S>(a.uS, k, a.stride, cu, cu2, u, first, last), u, su, incU);
        Fv<I> vNew = simd::update<I>(
            simd::diffusion<I, S>(a.vS, k, a.stride, cv, cv2, v, first, last), v, sv, incV);
        if (I::overflowOrInvalid(uNew.x, vNew.x))
            return k;
        if constexpr (Clamp) {
            uNew.x = I::clampBelowZero(uNew.x);
            vNew.x = I::clampBelowZero(vNew.x);
        }
        I::store(a.uT + k, uNew.x);
        I::store(a.vT + k, vNew.x);
        synU = I::last(incU.x);
        synV = I::last(incV.x);
        if (k + W >= end)
            return end;
        k = k + 2 * W <= end ? k + W : end - W;
    }
}

template <class I> constexpr Kernels makeTypedKernels(const char* name)
{
    return { name, I::W, &typedRates<I>, &typedSpan<I, Stencil::Line, false>,
        { { &typedSpan<I, Stencil::Top, false>, &typedSpan<I, Stencil::Middle, false>,
              &typedSpan<I, Stencil::Bottom, false> },
            { &typedSpan<I, Stencil::Top, true>, &typedSpan<I, Stencil::Middle, true>,
                &typedSpan<I, Stencil::Bottom, true> } } };
}

} // namespace
} // namespace rd::typed
