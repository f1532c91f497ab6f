// Affine forms: a value over a box as x0 + sum x_i e_i + [-err, err], every noise symbol e_i
// in [-1, 1]. Symbols 0 and 1 are u and v across the box; each nonlinear operation adds a
// symbol of its own for what its linear approximation leaves out, and values computed from
// the same symbols keep their correlation: in u*u*v - u*u*v, or in f + g where both rates
// hold the same term, the shared parts cancel, which interval arithmetic cannot see. When
// the symbols run out, the rest goes into err. Every coefficient is computed in double and
// its rounding added to err (a bound of 2^-50 times the magnitudes involved, at least eight
// times the rounding of the few operations behind each, then err grown by 2^-45 for its own
// sums), so the form encloses the exact real value of the operation for every point of the
// box. The nonlinear functions use the min-range linear approximation, whose remainder is
// bounded by outward-rounded interval evaluations at the ends of the operand's range.
#pragma once

#include "analysis/Interval.h"

#include <array>
#include <cmath>

namespace rd::analysis {

inline constexpr int kNoiseSymbols = 8;

struct Affine {
    double x0;
    std::array<double, kNoiseSymbols> x;
    double err; // >= 0; infinite for a value known to be nothing more than real
};

namespace affine {

inline constexpr double kRound = 0x1p-50;
inline constexpr double kGrow = 1.0 + 0x1p-45;
inline constexpr double kTinySum = 64 * interval_detail::kTiny;

inline Affine constant(double c)
{
    Affine a;
    a.x0 = c;
    a.x.fill(0.0);
    a.err = 0.0;
    return a;
}

inline Affine entire()
{
    Affine a = constant(0.0);
    a.err = interval_detail::kInf;
    return a;
}

inline Affine fromInterval(const Interval& i)
{
    Affine a = constant(i.mid());
    a.err = interval_detail::up(std::max(i.hi - a.x0, a.x0 - i.lo));
    if (!(a.err <= interval_detail::kMax))
        a = entire();
    return a;
}

// The interval [c - h, c + h] on symbol k (h rounded up so that it holds the box's side).
inline Affine variable(const Interval& side, int k)
{
    Affine a = constant(side.mid());
    a.x[static_cast<std::size_t>(k)]
        = interval_detail::up(std::max(side.hi - a.x0, a.x0 - side.lo));
    return a;
}

inline double linearMass(const Affine& a)
{
    double m = 0.0;
    for (double c : a.x)
        m += std::fabs(c);
    return m;
}

// A bound of |value - x0| over the box; infinite when nothing is known.
inline double radius(const Affine& a)
{
    const double r = (linearMass(a) + a.err) * kGrow;
    return r <= interval_detail::kMax ? r : interval_detail::kInf;
}

inline Interval range(const Affine& a)
{
    const double r = radius(a);
    if (!(a.x0 == a.x0) || r == interval_detail::kInf)
        return { -interval_detail::kInf, interval_detail::kInf };
    if (r == 0.0)
        return Interval::point(a.x0); // a constant known exactly
    return { interval_detail::down(a.x0 - r), interval_detail::up(a.x0 + r) };
}

// err from the parts a result carries over, the rounding of its coefficients (mass: the
// magnitudes they came from) and its own new error.
inline void settle(Affine& z, double carried, double mass)
{
    const double e = (carried + kRound * mass + kTinySum) * kGrow;
    z.err = e <= interval_detail::kMax ? e : interval_detail::kInf;
}

// The nonlinear part `size` on its own symbol (k >= 0), else into err.
inline void addNoise(Affine& z, double size, int k)
{
    size *= kGrow;
    if (k >= 0 && size <= interval_detail::kMax)
        z.x[static_cast<std::size_t>(k)] = size;
    else
        z.err = (z.err + size) * kGrow;
    if (!(z.err <= interval_detail::kMax))
        z.err = interval_detail::kInf;
}

inline Affine add(const Affine& a, const Affine& b, double sign = 1.0)
{
    Affine z;
    z.x0 = a.x0 + sign * b.x0;
    for (std::size_t i = 0; i < a.x.size(); ++i)
        z.x[i] = a.x[i] + sign * b.x[i];
    settle(z, a.err + b.err, std::fabs(z.x0) + linearMass(z));
    return z;
}

inline Affine negate(const Affine& a)
{
    Affine z = a;
    z.x0 = -a.x0;
    for (double& c : z.x)
        c = -c;
    return z;
}

// alpha a + zeta +- delta, delta on symbol k.
inline Affine linearised(const Affine& a, double alpha, double zeta, double delta, int k)
{
    Affine z;
    z.x0 = alpha * a.x0 + zeta;
    for (std::size_t i = 0; i < a.x.size(); ++i)
        z.x[i] = alpha * a.x[i];
    settle(z, std::fabs(alpha) * a.err,
        std::fabs(alpha) * std::fabs(a.x0) + std::fabs(zeta) + linearMass(z));
    addNoise(z, delta, k);
    return z;
}

inline Affine multiply(const Affine& a, const Affine& b, int k)
{
    Affine z;
    z.x0 = a.x0 * b.x0;
    for (std::size_t i = 0; i < a.x.size(); ++i)
        z.x[i] = a.x0 * b.x[i] + b.x0 * a.x[i];
    const double ma = linearMass(a), mb = linearMass(b);
    settle(z, std::fabs(a.x0) * b.err + std::fabs(b.x0) * a.err,
        std::fabs(z.x0) + std::fabs(a.x0) * mb + std::fabs(b.x0) * ma);
    // The product of the two deviations.
    addNoise(z, (ma + a.err) * (mb + b.err), k);
    return z;
}

// (a0 + d)^2 = a0^2 + 2 a0 d + d^2 with d^2 in [0, r^2]: r^2 / 2 +- r^2 / 2.
inline Affine square(const Affine& a, int k)
{
    const double ma = linearMass(a);
    const double r = ma + a.err;
    const double half = 0.5 * (r * r) * kGrow;
    Affine z;
    z.x0 = a.x0 * a.x0 + half;
    for (std::size_t i = 0; i < a.x.size(); ++i)
        z.x[i] = 2.0 * a.x0 * a.x[i];
    settle(z, 2.0 * std::fabs(a.x0) * a.err, std::fabs(z.x0) + 2.0 * std::fabs(a.x0) * ma + half);
    addNoise(z, half, k);
    return z;
}

// f(t) - alpha t over [lo, hi] is increasing (decreasing): its range is from its values at
// the ends, each bounded by `at`, an outward interval evaluation of f - alpha t at a point.
template <class At>
Affine monotoneRemainder(
    const Affine& a, double alpha, double lo, double hi, bool increasing, int k, At at)
{
    const Interval first = at(increasing ? lo : hi), last = at(increasing ? hi : lo);
    const double low = first.lo, high = last.hi;
    const double zeta = 0.5 * low + 0.5 * high;
    const double delta = interval_detail::up(std::max(high - zeta, zeta - low));
    if (!(delta <= interval_detail::kMax) || !(alpha == alpha))
        return entire();
    return linearised(a, alpha, zeta, delta, k);
}

// 1 / a for a range [lo, hi] with 0 < lo: alpha >= -1 / hi^2 keeps 1/t - alpha t decreasing.
inline Affine reciprocalPositive(const Affine& a, double lo, double hi, int k)
{
    const double alpha = -(1.0 / (hi * hi)) * (1.0 - kRound);
    return monotoneRemainder(a, alpha, lo, hi, false, k, [&](double t) {
        const Interval p = Interval::point(t);
        return Interval::point(1.0) / p - alpha * p;
    });
}

inline Affine sqrtOf(const Affine& a, double lo, double hi, int k)
{
    const double alpha = 0.5 / std::sqrt(hi) * (1.0 - kRound); // below the least slope
    return monotoneRemainder(a, alpha, lo, hi, true, k, [&](double t) {
        const Interval p = Interval::point(t);
        return sqrt(p) - alpha * p;
    });
}

inline Affine expOf(const Affine& a, double lo, double hi, int k)
{
    const double alpha = std::exp(lo) * (1.0 - 4.0 * kRound);
    return monotoneRemainder(a, alpha, lo, hi, true, k, [&](double t) {
        const Interval p = Interval::point(t);
        return exp(p) - alpha * p;
    });
}

inline Affine logOf(const Affine& a, double lo, double hi, int k)
{
    const double alpha = 1.0 / hi * (1.0 - kRound);
    return monotoneRemainder(a, alpha, lo, hi, true, k, [&](double t) {
        const Interval p = Interval::point(t);
        return log(p) - alpha * p;
    });
}

inline Affine tanhOf(const Affine& a, double lo, double hi, int k)
{
    // The least slope of tanh on [lo, hi] is at an end (1 - tanh^2 falls away from 0).
    const auto slope
        = [](double t) { return (Interval::point(1.0) - square(tanh(Interval::point(t)))).lo; };
    const double alpha = std::max(0.0, std::min(slope(lo), slope(hi)));
    return monotoneRemainder(a, alpha, lo, hi, true, k, [&](double t) {
        const Interval p = Interval::point(t);
        return tanh(p) - alpha * p;
    });
}

// |t| - alpha t, alpha in [-1, 1], is convex with its least value 0 at t = 0.
inline Affine absOf(const Affine& a, double lo, double hi, int k)
{
    if (lo >= 0.0)
        return a;
    if (hi <= 0.0)
        return negate(a);
    const double alpha = std::clamp((hi + lo) / (hi - lo), -1.0, 1.0);
    const auto at = [&](double t) {
        const Interval p = Interval::point(t);
        return (abs(p) - alpha * p).hi;
    };
    const double top = std::max(at(lo), at(hi));
    if (!(top <= interval_detail::kMax))
        return entire();
    return linearised(a, alpha, 0.5 * top, 0.5 * top, k);
}

} // namespace affine

} // namespace rd::analysis
