// Intervals of reals in double, rounded outward: every operation rounds to nearest and then
// moves each bound one unit in the last place outward (four for the C library's functions),
// so the exact real result of the operation on any reals inside the operands lies inside
// the result. The search for the uniform states of a typed model (TypedStates.cpp) rests on
// this: a box where an interval of a rate excludes 0 holds no state.
//
// Infinite bounds stand for unbounded sides; a NaN from inf - inf or 0 * inf widens to the
// whole side. An empty interval (lo > hi) stands for "undefined everywhere": the square root
// of negative numbers only, the logarithm of numbers <= 0 only, a division by exactly 0, all
// of which end a run, so no state lies there.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace rd::analysis {

struct Interval {
    double lo, hi;

    static Interval point(double x) { return { x, x }; }
    static Interval empty()
    {
        return { std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity() };
    }
    bool isEmpty() const { return lo > hi; }
    bool contains(double x) const { return lo <= x && x <= hi; }
    // 0 is certainly not a value: the interval lies on one side of it, or is empty.
    bool excludesZero() const { return lo > 0.0 || hi < 0.0; }
    double mid() const { return 0.5 * lo + 0.5 * hi; }
    double width() const { return hi - lo; }
};

namespace interval_detail {

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kMax = std::numeric_limits<double>::max();
inline constexpr double kTiny = std::numeric_limits<double>::denorm_min();
inline constexpr double kUlp = 0x1p-52; // |x| 2^-52 is at least one ulp of x
inline constexpr double kFunctionUlps = 0x1p-50; // four ulps: the C library's own error

// A bound of a correctly rounded result moved below (above) the exact one; +inf as a lower
// bound is the largest double, NaN the whole side.
inline double down(double x, double rel = kUlp)
{
    const double y = x - (std::fabs(x) * rel + kTiny);
    return y == y ? y : (x == x ? kMax : -kInf);
}

inline double up(double x, double rel = kUlp)
{
    const double y = x + (std::fabs(x) * rel + kTiny);
    return y == y ? y : (x == x ? -kMax : kInf);
}

// The smaller and larger of four values, NaNs (0 * inf) left out: the other products bound
// the product set.
inline double least(double a, double b, double c, double d)
{
    double m = kInf;
    m = a < m ? a : m;
    m = b < m ? b : m;
    m = c < m ? c : m;
    m = d < m ? d : m;
    return m;
}

inline double most(double a, double b, double c, double d)
{
    double m = -kInf;
    m = a > m ? a : m;
    m = b > m ? b : m;
    m = c > m ? c : m;
    m = d > m ? d : m;
    return m;
}

} // namespace interval_detail

inline Interval operator+(const Interval& a, const Interval& b)
{
    using namespace interval_detail;
    return { down(a.lo + b.lo), up(a.hi + b.hi) };
}

inline Interval operator-(const Interval& a, const Interval& b)
{
    using namespace interval_detail;
    return { down(a.lo - b.hi), up(a.hi - b.lo) };
}

inline Interval operator-(const Interval& a)
{
    return { -a.hi, -a.lo };
}

inline Interval operator*(const Interval& a, const Interval& b)
{
    using namespace interval_detail;
    const double p = a.lo * b.lo, q = a.lo * b.hi, r = a.hi * b.lo, s = a.hi * b.hi;
    return { down(least(p, q, r, s)), up(most(p, q, r, s)) };
}

// x * x as one operation: never negative, unlike the product of two independent intervals.
inline Interval square(const Interval& a)
{
    using namespace interval_detail;
    const double l = a.lo * a.lo, h = a.hi * a.hi;
    if (a.lo >= 0.0)
        return { down(l), up(h) };
    if (a.hi <= 0.0)
        return { down(h), up(l) };
    return { 0.0, up(std::max(l, h)) };
}

inline Interval operator/(const Interval& a, const Interval& b)
{
    using namespace interval_detail;
    if (b.lo == 0.0 && b.hi == 0.0)
        return Interval::empty();
    if (b.lo <= 0.0 && b.hi >= 0.0)
        return { -kInf, kInf };
    const double p = a.lo / b.lo, q = a.lo / b.hi, r = a.hi / b.lo, s = a.hi / b.hi;
    return { down(least(p, q, r, s)), up(most(p, q, r, s)) };
}

// A point scaled by an interval, exact factor x: for the 2 x 2 algebra of the search.
inline Interval operator*(double x, const Interval& b)
{
    return Interval::point(x) * b;
}

inline Interval hull(const Interval& a, const Interval& b)
{
    return { std::min(a.lo, b.lo), std::max(a.hi, b.hi) };
}

inline Interval intersect(const Interval& a, const Interval& b)
{
    return { std::max(a.lo, b.lo), std::min(a.hi, b.hi) };
}

inline Interval sqrt(const Interval& a)
{
    using namespace interval_detail;
    if (a.hi < 0.0)
        return Interval::empty();
    return { a.lo <= 0.0 ? 0.0 : std::max(0.0, down(std::sqrt(a.lo))), up(std::sqrt(a.hi)) };
}

inline Interval exp(const Interval& a)
{
    using namespace interval_detail;
    return { std::max(0.0, down(std::exp(a.lo), kFunctionUlps)),
        up(std::exp(a.hi), kFunctionUlps) };
}

inline Interval log(const Interval& a)
{
    using namespace interval_detail;
    if (a.hi <= 0.0)
        return Interval::empty();
    return { a.lo <= 0.0 ? -kInf : down(std::log(a.lo), kFunctionUlps),
        up(std::log(a.hi), kFunctionUlps) };
}

inline Interval tanh(const Interval& a)
{
    using namespace interval_detail;
    return { std::max(-1.0, down(std::tanh(a.lo), kFunctionUlps)),
        std::min(1.0, up(std::tanh(a.hi), kFunctionUlps)) };
}

inline Interval abs(const Interval& a)
{
    if (a.lo >= 0.0)
        return a;
    if (a.hi <= 0.0)
        return -a;
    return { 0.0, std::max(-a.lo, a.hi) };
}

inline Interval min(const Interval& a, const Interval& b)
{
    return { std::min(a.lo, b.lo), std::min(a.hi, b.hi) };
}

inline Interval max(const Interval& a, const Interval& b)
{
    return { std::max(a.lo, b.lo), std::max(a.hi, b.hi) };
}

} // namespace rd::analysis
