// The vector form of the per-cell step code, for one instruction set given as traits I.
// Included only by the kernel translation units (SimdSse2.cpp, SimdAvx2.cpp,
// SimdAvx512.cpp); everything here is internal to the including unit, so code built for
// one instruction set is never shared with another.
//
// Why the lanes give the bits of the per-cell code (StepCells.h, Kinetics.h):
// - Every lane performs the same IEEE-754 operations as the per-cell code, on the same
//   operands, in the same order: single-precision where it computes in single,
//   double-precision lanes where it computes in double (GM's v + 0.001, its two divisions
//   and the sum; the stencil and the store expression), a float-to-double conversion
//   where it widens, and a double-to-float conversion under the same rounding mode where
//   it stores. Sums are formed left to right as written, with the same parentheses.
// - Each such operation is correctly rounded by IEEE-754, so equal operands give equal
//   results whatever the register width. No fused multiply-add is ever used: there are no
//   FMA intrinsics here, the units are built with -mno-fma, and -ffp-contract=off keeps
//   the compiler from fusing a product and a sum.
// - The two-stage stores of the kinetics (rate rounded to single, then scaled) are kept:
//   the rate is a single-precision vector before the multiplication by reactGain.
// - The clamp maps only values below zero to +0.0, so -0.0 stays -0.0 as in the scalar
//   test x < 0.
// - Edge cells in a block's lanes: a mirrored column sums its inward neighbour twice where
//   an inner cell sums its two, which is the inner cell's expression with that neighbour
//   put in both places; a corner or line end, (inward + neighbour) * 2c or 2c * neighbour,
//   is evaluated as written and put in its lane, replacing the inner expression computed
//   there from a stand-in value. That stand-in is a real cell of the field, so at worst it
//   raises a flag the per-cell code would not, and the redo completes the block.
// - Gray-Scott forms its single-precision products in double lanes: both factors widened
//   exactly, multiplied in double, rounded to single. A product of two singles (24-bit
//   significands) needs at most 48 bits and its exponent stays far inside double's range,
//   so the double product is exact and the one rounding to single gives the correctly
//   rounded single product: the same bits, subnormal or zero results included, and the
//   same overflow (raised by the rounding) and invalid (0 times infinity, or a signalling
//   NaN, raised by the widening or the product). What changes is the cost: a single-
//   precision product that underflows to a subnormal takes a slow path in the hardware,
//   and a Gray-Scott field that decays towards zero makes nearly every product underflow;
//   in double nothing underflows, and the final rounding to a subnormal single is fast.
// Errors: the status flags are sticky and clear of overflow and invalid when a block
// starts (the caller clears them before the step and before every redo, and a block that
// passed raised neither). The flag read takes the block's results as operands, so all of
// its arithmetic happens before it. A block that raised a flag or met a zero denominator
// stores nothing; the caller redoes it cell by cell, which raises the per-cell code's
// error at the per-cell code's cell. (Should a flag ever come from an operation the
// per-cell code skips, the redo simply completes the block: still exact.) Every lane is
// a real cell of the span, so no padding lane can raise anything.
#pragma once

#include "engine/SimdKernels.h"

#include <cstdint>

namespace rd::simd {
namespace {

// The MXCSR status bits of an invalid operation (0x01) and an overflow (0x08).
inline constexpr unsigned kOverflowOrInvalid = 0x09u;

template <class I> struct Fv {
    typename I::F x;
};
template <class I> struct Dv {
    typename I::D x;
};

template <class I> inline Fv<I> operator+(Fv<I> a, Fv<I> b)
{
    return { I::add(a.x, b.x) };
}
template <class I> inline Fv<I> operator-(Fv<I> a, Fv<I> b)
{
    return { I::sub(a.x, b.x) };
}
template <class I> inline Fv<I> operator*(Fv<I> a, Fv<I> b)
{
    return { I::mul(a.x, b.x) };
}
template <class I> inline Fv<I> operator/(Fv<I> a, Fv<I> b)
{
    return { I::div(a.x, b.x) };
}
template <class I> inline Dv<I> operator+(Dv<I> a, Dv<I> b)
{
    return { I::add(a.x, b.x) };
}
template <class I> inline Dv<I> operator*(Dv<I> a, Dv<I> b)
{
    return { I::mul(a.x, b.x) };
}
template <class I> inline Dv<I> operator/(Dv<I> a, Dv<I> b)
{
    return { I::div(a.x, b.x) };
}

// A float vector widened exactly to double, as two halves.
template <class I> struct Wide {
    Dv<I> lo, hi;
};
template <class I> inline Wide<I> widen(Fv<I> a)
{
    return { { I::lo(a.x) }, { I::hi(a.x) } };
}
// Rounds both halves to single, as a store into a float does.
template <class I> inline Fv<I> narrow(Wide<I> w)
{
    return { I::pack(w.lo.x, w.hi.x) };
}

// The single-precision product a * b, formed exactly in double and rounded once.
template <class I> inline Fv<I> product(Wide<I> a, Wide<I> b)
{
    return narrow<I>({ a.lo * b.lo, a.hi * b.hi });
}

template <class I> inline Fv<I> load(const float* p)
{
    return { I::load(p) };
}
template <class I> inline Fv<I> splat(float x)
{
    return { I::set(x) };
}
template <class I> inline Dv<I> splat(double x)
{
    return { I::setd(x) };
}

template <class I> struct Rates {
    Fv<I> synU, synV;
    unsigned zeroDenominator;
};

// The model functions of Kinetics.h, lane by lane.
template <class I, Model M> inline Rates<I> rates(const SpanArgs& a, Fv<I> u, Fv<I> v)
{
    const Fv<I> gain = splat<I>(a.reactGain);
    const Fv<I> one = splat<I>(1.0f);
    Fv<I> synU, synV;
    unsigned zero = 0;
    if constexpr (M == Model::GiererMeinhardt) {
        const Fv<I> production = splat<I>(a.kA) - splat<I>(a.kB) * u;
        const Fv<I> uu = u * u;
        const Wide<I> wv = widen(v), wuu = widen(uu);
        const Dv<I> milli = splat<I>(0.001);
        const Dv<I> inhibitorLo = wv.lo + milli, inhibitorHi = wv.hi + milli;
        zero |= I::zeroD(inhibitorLo.x) | I::zeroD(inhibitorHi.x);
        const Dv<I> fractionLo = wuu.lo / inhibitorLo, fractionHi = wuu.hi / inhibitorHi;
        const Fv<I> saturation = one + (splat<I>(a.kC) * u) * u;
        zero |= I::zeroF(saturation.x);
        const Wide<I> wp = widen(production), ws = widen(saturation);
        synU = narrow<I>({ wp.lo + fractionLo / ws.lo, wp.hi + fractionHi / ws.hi });
        synV = u * u - v;
    } else if constexpr (M == Model::Schnakenberg) {
        synU = (splat<I>(a.kA) - u) + (u * u) * v;
        synV = splat<I>(a.kB) - (u * u) * v;
    } else if constexpr (M == Model::GrayScott) {
        const Wide<I> wu = widen(u), wv = widen(v);
        const Fv<I> uuv = product<I>(widen(product<I>(wu, wu)), wv);
        synU = product<I>(widen(splat<I>(a.removal)), wu) + uuv;
        synV = product<I>(widen(splat<I>(a.kA)), widen(one - v)) - uuv;
        const Wide<I> wgain = widen(gain);
        synU = product<I>(widen(synU), wgain);
        synV = product<I>(widen(synV), wgain);
    } else {
        const Fv<I> kB = splat<I>(a.kB);
        const Fv<I> denominator = u + kB;
        zero |= I::zeroF(denominator.x);
        synU = u * (one - u) - (splat<I>(a.kA) * v) * (u - kB) / denominator;
        synV = u - v;
    }
    if constexpr (M != Model::GrayScott) {
        synU = synU * gain;
        synV = synV * gain;
    }
    if constexpr (M == Model::Oregonator) {
        zero |= a.kC == 0.0f ? 1u : 0u;
        synU = synU / splat<I>(a.kC);
    }
    return { synU, synV, zero };
}

// The diffusion term of one species, in double. A block at the start (end) of a row takes
// its left (right) neighbours from its own cells shifted by one lane, so it reads nothing
// outside the row; the lane that would come from outside is the edge cell, whose term
// follows the mirrored rule of the per-cell code and is put in its lane.
template <class I, Stencil S>
inline Wide<I> diffusion(const float* p, std::int64_t k, std::int64_t n, Dv<I> c, Dv<I> c2,
    Fv<I> centre, bool first, bool last)
{
    Fv<I> right = last ? Fv<I> { I::shiftDown(centre.x) } : load<I>(p + k + 1);
    Fv<I> left = first ? Fv<I> { I::shiftUp(centre.x) } : load<I>(p + k - 1);
    if constexpr (S == Stencil::Middle) {
        // Column 0 counts its right neighbour twice, column L its left one.
        if (first)
            left.x = I::firstFrom(left.x, right.x);
        if (last)
            right.x = I::lastFrom(right.x, left.x);
    }
    const Wide<I> wr = widen(right), wl = widen(left);
    Dv<I> lo = wr.lo + wl.lo, hi = wr.hi + wl.hi;
    if constexpr (S == Stencil::Top || S == Stencil::Bottom) {
        const Wide<I> in = widen(load<I>(p + (S == Stencil::Top ? k + n : k - n)));
        Wide<I> t { (lo + (in.lo + in.lo)) * c, (hi + (in.hi + in.hi)) * c };
        // The corners: (inward + right) * 2c at column 0, (inward + left) * 2c at column L.
        if (first)
            t.lo.x = I::firstFromD(t.lo.x, ((in.lo + wr.lo) * c2).x);
        if (last)
            t.hi.x = I::lastFromD(t.hi.x, ((in.hi + wl.hi) * c2).x);
        return t;
    } else if constexpr (S == Stencil::Middle) {
        const Wide<I> up = widen(load<I>(p + k - n)), down = widen(load<I>(p + k + n));
        return { (lo + up.lo + down.lo) * c, (hi + up.hi + down.hi) * c };
    } else {
        Wide<I> t { lo * c, hi * c };
        // The ends of the line: 2c * the inward neighbour.
        if (first)
            t.lo.x = I::firstFromD(t.lo.x, (c2 * wr.lo).x);
        if (last)
            t.hi.x = I::lastFromD(t.hi.x, (c2 * wl.hi).x);
        return t;
    }
}

// term + old * self-weight + increment, left to right in double, rounded to single.
template <class I> inline Fv<I> update(Wide<I> term, Fv<I> old, Dv<I> self, Fv<I> increment)
{
    const Wide<I> o = widen(old), r = widen(increment);
    return narrow<I>({ term.lo + o.lo * self + r.lo, term.hi + o.hi * self + r.hi });
}

template <class I, Model M, Stencil S>
std::int64_t span(const SpanArgs& a, std::int64_t begin, std::int64_t end, unsigned edges,
    float& synU, float& synV)
{
    constexpr int W = I::W;
    const Dv<I> cu = splat<I>(a.cu), cv = splat<I>(a.cv);
    const Dv<I> cu2 = splat<I>(a.cu2), cv2 = splat<I>(a.cv2);
    const Dv<I> su = splat<I>(a.su), sv = splat<I>(a.sv);
    std::int64_t k = begin;
    for (;;) {
        const bool first = k == begin && (edges & kFirstIsEdge) != 0;
        const bool last = k + W == end && (edges & kLastIsEdge) != 0;
        const Fv<I> u = load<I>(a.uS + k), v = load<I>(a.vS + k);
        const Rates<I> r = rates<I, M>(a, u, v);
        Fv<I> uNew
            = update<I>(diffusion<I, S>(a.uS, k, a.stride, cu, cu2, u, first, last), u, su, r.synU);
        Fv<I> vNew
            = update<I>(diffusion<I, S>(a.vS, k, a.stride, cv, cv2, v, first, last), v, sv, r.synV);
        if (I::overflowOrInvalid(uNew.x, vNew.x) || r.zeroDenominator != 0)
            return k;
        if constexpr (S != Stencil::Line) {
            uNew.x = I::clampBelowZero(uNew.x);
            vNew.x = I::clampBelowZero(vNew.x);
        }
        I::store(a.uT + k, uNew.x);
        I::store(a.vT + k, vNew.x);
        synU = I::last(r.synU.x);
        synV = I::last(r.synV.x);
        if (k + W >= end)
            return end;
        k = k + 2 * W <= end ? k + W : end - W;
    }
}

// The 1D copying pass in blocks, the last one overlapping (clamping twice changes
// nothing): values below zero become +0.0 (-0.0 stays), then the block is copied.
template <class I> void clampCopy(float* from, float* to, std::int64_t n)
{
    constexpr int W = I::W;
    for (std::int64_t k = 0;; k = k + 2 * W <= n ? k + W : n - W) {
        const typename I::F x = I::clampBelowZero(I::load(from + k));
        I::store(from + k, x);
        I::store(to + k, x);
        if (k + W >= n)
            return;
    }
}

template <class I, Model M> constexpr void fillModel(Kernels& t)
{
    auto& row = t.span[static_cast<int>(M)];
    row[static_cast<int>(Stencil::Line)] = &span<I, M, Stencil::Line>;
    row[static_cast<int>(Stencil::Top)] = &span<I, M, Stencil::Top>;
    row[static_cast<int>(Stencil::Middle)] = &span<I, M, Stencil::Middle>;
    row[static_cast<int>(Stencil::Bottom)] = &span<I, M, Stencil::Bottom>;
}

template <class I> constexpr Kernels makeKernels(const char* name)
{
    Kernels t { name, I::W, {}, &clampCopy<I> };
    fillModel<I, Model::GiererMeinhardt>(t);
    fillModel<I, Model::Schnakenberg>(t);
    fillModel<I, Model::GrayScott>(t);
    fillModel<I, Model::Oregonator>(t);
    return t;
}

} // namespace
} // namespace rd::simd
