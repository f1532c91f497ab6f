// Uniform steady states. Schnakenberg and Gray-Scott have closed forms. Gierer-Meinhardt and
// the Oregonator reduce to one equation in u on the nullcline of g whose denominators can be
// cleared, leaving a polynomial: every real root of it is isolated between the roots of its
// derivatives, so none is missed however close two lie, and a root that only touches zero is
// seen too.
#include "analysis/SteadyStates.h"
#include "analysis/PolynomialRoots.h"
#include "analysis/TypedStates.h"

#include <algorithm>
#include <cmath>

namespace rd::analysis {

namespace {

// Distance below which two states count as one fold: a pair this close is a pair of states
// merging (Gray-Scott's start-up point gives two single-precision states 6e-5 apart).
constexpr double kFoldDistance = 1e-4;

// The constant Gierer-Meinhardt adds to the inhibitor (as the rates have it).
constexpr double kInhibitorFloor = 0.001;

struct Candidates {
    std::array<StateCandidate, kMaxSteadyStates> at {};
    std::size_t count = 0;
    void add(double u, double v, bool multiple = false)
    {
        if (count < at.size())
            at[count++] = { u, v, multiple };
    }
};

// On v = u^2, f = kA - kB u + u^2 / (u^2 + e) / (1 + kC u^2) = 0; times the (non-zero)
// denominators: (kA - kB u)(u^2 + e)(1 + kC u^2) + u^2 = 0. Where 1 + kC u^2 = 0 the left side
// is u^2 > 0, so no root of it is a pole of f.
void giererMeinhardt(const Scheme& s, Candidates& out)
{
    const double e = kInhibitorFloor;
    const double sat = 1.0 + e * s.kC;
    const Polynomial p = Polynomial::fromAscending(
        { e * s.kA, -e * s.kB, s.kA * sat + 1.0, -s.kB * sat, s.kA * s.kC, -s.kB * s.kC });
    // With kB > 0 and kC >= 0 the fraction lies in [0, 1): f > 0 up to u = kA / kB, and
    // f < 0 from u = (max(kA, 0) + 1) / kB on (given a margin for rounding). Far tighter than
    // the coefficients' bound.
    const bool saturating = s.kB > 0.0 && s.kC >= 0.0;
    const double lo = saturating ? std::max(s.kA, 0.0) / s.kB : 0.0;
    const double hi
        = saturating ? (std::max(s.kA, 0.0) + 1.0) / s.kB * (1.0 + 1e-6) : positiveRootBound(p);
    for (const PolynomialRoot& r : realRoots(p, lo, hi))
        out.add(r.x, r.x * r.x, r.multiple);
}

// On v = u, f = u (1 - u) - kA u (u - kB) / (u + kB) = 0 (kC only scales the rate): u = 0
// (unless kB = 0, where the rate is 0 / 0 there), or (1 - u)(u + kB) = kA (u - kB), that is
// u^2 + (kA + kB - 1) u - kB (1 + kA) = 0. A root at the pole u = -kB (kA = 0 only) is no
// state; settleStates drops it.
void oregonator(const Scheme& s, Candidates& out)
{
    const bool origin = s.kB != 0.0;
    if (origin)
        out.add(0.0, 0.0);
    const Polynomial q
        = Polynomial::fromAscending({ -s.kB * (1.0 + s.kA), s.kA + s.kB - 1.0, 1.0 });
    for (const PolynomialRoot& r : realRoots(q, 0.0, positiveRootBound(q))) {
        if (r.x == 0.0 && origin)
            out.at[0].multiple = true; // kA = -1: the two branches meet at the origin
        else
            out.add(r.x, r.x, r.multiple);
    }
}

Candidates candidates(const Scheme& s)
{
    Candidates c;
    switch (s.model) {
    case Model::Schnakenberg: {
        const double u = s.kA + s.kB;
        if (u != 0.0)
            c.add(u, s.kB / (u * u));
        break;
    }
    case Model::GrayScott: {
        c.add(0.0, 1.0);
        // u v = F + k and (F + k) u^2 - F u + F (F + k) = 0.
        const double r = s.kA + s.kB;
        const double disc = s.kA * s.kA - 4.0 * s.kA * r * r;
        if (r != 0.0 && disc >= 0.0) {
            const double root = std::sqrt(disc);
            for (double u : { (s.kA - root) / (2.0 * r), (s.kA + root) / (2.0 * r) })
                if (u != 0.0)
                    c.add(u, r / u);
        }
        break;
    }
    case Model::GiererMeinhardt:
        giererMeinhardt(s, c);
        break;
    case Model::Oregonator:
        oregonator(s, c);
        break;
    }
    return c;
}

} // namespace

SteadyStateList settleStates(const Scheme& s, std::span<const StateCandidate> candidates)
{
    SteadyStateList list;
    for (const StateCandidate& c : candidates) {
        const double u = c.u, v = c.v;
        if (!(u >= s.box.uLow && u <= s.box.uHigh && v >= s.box.vLow && v <= s.box.vHigh)
            || !std::isfinite(u) || !std::isfinite(v))
            continue;
        const Rates r = unscaledRates(s, u, v);
        if (!std::isfinite(r.f) || !std::isfinite(r.g) || list.count == kMaxSteadyStates)
            continue;
        SteadyState st { u, v, jacobianAt(s, u, v), c.multiple };
        const Jacobian& j = st.jacobian;
        const double size = std::abs(j.fu) + std::abs(j.fv) + std::abs(j.gu) + std::abs(j.gv);
        st.fold = st.fold || std::abs(j.det()) <= 1e-12 * size * size;
        // Insertion keeps the list ascending in u.
        int i = list.count++;
        for (; i > 0 && st.u < list.at[static_cast<std::size_t>(i - 1)].u; --i)
            list.at[static_cast<std::size_t>(i)] = list.at[static_cast<std::size_t>(i - 1)];
        list.at[static_cast<std::size_t>(i)] = st;
    }
    for (int i = 0; i + 1 < list.count; ++i) {
        SteadyState& a = list.at[static_cast<std::size_t>(i)];
        SteadyState& b = list.at[static_cast<std::size_t>(i + 1)];
        if (std::abs(a.u - b.u) <= kFoldDistance * (1.0 + std::abs(a.u))
            && std::abs(a.v - b.v) <= kFoldDistance * (1.0 + std::abs(a.v)))
            a.fold = b.fold = true;
    }
    return list;
}

SteadyStateList steadyStateList(const Scheme& s)
{
    if (s.typed) {
        const TypedZeros z = typedZeros(s);
        SteadyStateList list = settleStates(s, std::span(z.at.data(), z.count));
        list.complete = z.complete;
        return list;
    }
    const Candidates c = candidates(s);
    return settleStates(s, std::span(c.at.data(), c.count));
}

std::vector<SteadyState> steadyStates(const Scheme& s)
{
    const SteadyStateList list = steadyStateList(s);
    return { list.begin(), list.end() };
}

} // namespace rd::analysis
