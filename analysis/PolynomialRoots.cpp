#include "analysis/PolynomialRoots.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace rd::analysis {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// A point between lo and hi for when Newton's step leaves the bracket: the middle, or the
// geometric middle across a bracket of many decades, which halves the decades instead.
double splitPoint(double lo, double hi)
{
    if (lo >= 0.0 && hi > 64.0 * (lo + 1.0))
        return std::sqrt((lo + 1.0) * hi);
    if (hi <= 0.0 && lo < 64.0 * (hi - 1.0))
        return -std::sqrt((1.0 - hi) * -lo);
    return 0.5 * (lo + hi);
}

struct Sample {
    double x;
    Polynomial::Value at;
};

// The next point from x: Halley's step (cubic convergence for the price of Newton's: the
// three Horner sums run side by side), but only where Newton's step also stays inside (lo,
// hi). Near a flat point Halley's step shrinks to a creep while Newton's leaves the bracket:
// NaN then, for the caller to split the bracket.
double nextPoint(double x, const Polynomial::Value& v, double lo, double hi)
{
    const double newton = x - v.value / v.slope;
    if (!(newton > lo && newton < hi))
        return NAN;
    const double halley = x - v.value * v.slope / (v.slope * v.slope - v.value * v.bend);
    return halley > lo && halley < hi ? halley : newton;
}

// The one root between a and b, where p is monotone and p(a), p(b) have opposite signs
// (neither 0). The first step is taken from the end where p is steeper (the other end is
// often a flat critical point). A step that leaves the bracket, or that is not below half the
// one before last, gives way to splitting the bracket. The search stops once a step is below
// `settled` relative to x: the error left is of the order of its cube.
double rootInBracket(const Polynomial& p, const Sample& a, const Sample& b, double settled)
{
    const bool lowNegative = a.at.value < 0.0;
    double lo = a.x, hi = b.x;
    const Sample& steep = std::abs(a.at.slope) > std::abs(b.at.slope) ? a : b;
    double x = nextPoint(steep.x, steep.at, lo, hi);
    if (!(x > lo && x < hi))
        x = a.x - a.at.value * (b.x - a.x) / (b.at.value - a.at.value);
    if (!(x > lo && x < hi))
        x = splitPoint(lo, hi);
    double step = hi - lo, stepBefore = step;
    for (int i = 0; i < 150; ++i) {
        const Polynomial::Value v = p.at(x);
        if (std::abs(v.value) <= v.error) {
            // Within rounding of zero: one more step takes out the rest of the bound.
            const double last = x - v.value / v.slope;
            return last > lo && last < hi ? last : x;
        }
        ((v.value < 0.0) == lowNegative ? lo : hi) = x;
        double next = nextPoint(x, v, lo, hi);
        if (!(next > lo && next < hi) || 2.0 * std::abs(next - x) > std::abs(stepBefore)) {
            next = splitPoint(lo, hi);
            if (!(next > lo && next < hi))
                return x; // the bracket is two neighbouring doubles
        } else if (std::abs(next - x) <= settled * std::abs(x)) {
            return next;
        }
        stepBefore = step;
        step = next - x;
        x = next;
    }
    return x;
}

void keep(PolynomialRoots& out, double x, bool multiple, double lo, double hi)
{
    if (x >= lo && x <= hi
        && (out.count == 0 || x > out.at[static_cast<std::size_t>(out.count - 1)].x))
        out.at[static_cast<std::size_t>(out.count++)] = { x, multiple };
}

// Degree 1 and 2 in closed form. A quadratic's two roots merge into one multiple root where
// its value at the vertex, -disc / (4 a), is zero within the rounding of the value there: the
// same test as at a higher degree's critical points.
PolynomialRoots lowDegreeRoots(const Polynomial& p, double lo, double hi)
{
    PolynomialRoots out;
    const double c0 = p.c[0], b = p.c[1];
    if (p.degree == 1) {
        keep(out, -c0 / b, false, lo, hi);
        return out;
    }
    const double a = p.c[2];
    const double vertex = -b / (2.0 * a);
    const double disc = b * b - 4.0 * a * c0;
    const double rounding = std::abs(4.0 * a) * p.at(vertex).error;
    if (std::abs(disc) <= rounding) {
        keep(out, vertex, true, lo, hi);
    } else if (disc > 0.0) {
        // The form that avoids cancellation.
        const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
        const double x1 = q / a, x2 = c0 / q;
        keep(out, std::min(x1, x2), false, lo, hi);
        keep(out, std::max(x1, x2), false, lo, hi);
    }
    return out;
}

// The roots of p in [lo, hi], given the roots of its derivative there (ascending): p is
// monotone between them, so each piece with a sign change holds one simple root, and a
// derivative root where p is zero within rounding is a multiple root.
PolynomialRoots rootsBetween(
    const Polynomial& p, double lo, double hi, const PolynomialRoots& critical, double settled)
{
    std::array<double, kMaxDegree + 2> xs {};
    std::array<bool, kMaxDegree + 2> inner {};
    int n = 0;
    xs[n++] = lo;
    for (const PolynomialRoot& r : critical)
        if (r.x > xs[n - 1] && r.x < hi) {
            inner[n] = true;
            xs[n++] = r.x;
        }
    if (hi > lo)
        xs[n++] = hi;
    std::array<Sample, kMaxDegree + 2> vs {};
    std::array<bool, kMaxDegree + 2> zero {};
    for (int i = 0; i < n; ++i) {
        const Polynomial::Value v = p.at(xs[i]);
        vs[i] = { xs[i], v };
        zero[i] = std::abs(v.value) <= v.error;
    }
    PolynomialRoots out;
    for (int i = 0; i < n && out.count < kMaxDegree; ++i) {
        if (zero[i])
            out.at[out.count++] = { xs[i], inner[i] };
        if (i + 1 < n && !zero[i] && !zero[i + 1]
            && (vs[i].at.value < 0.0) != (vs[i + 1].at.value < 0.0) && out.count < kMaxDegree)
            out.at[out.count++] = { rootInBracket(p, vs[i], vs[i + 1], settled), false };
    }
    return out;
}

// Descartes' rule on (lo, hi): the sign changes of the coefficients of
// (1 + t)^5 p((lo + hi t) / (1 + t)), whose roots t > 0 are p's roots in (lo, hi), bound their
// number and share its parity (taken at degree 5 whatever p's: a factor (1 + t) adds no sign
// change, and fixed loops run faster). -1 where rounding leaves the sign of a coefficient in
// doubt; the same transform of the coefficients' magnitudes bounds every term's size.
int signChangesBetween(const Polynomial& p, double lo, double hi)
{
    constexpr std::size_t n = kMaxDegree;
    using Row = std::array<double, n + 1>;
    Row c = p.c, m {};
    for (std::size_t i = 0; i <= n; ++i)
        m[i] = std::abs(c[i]);
    const auto shift = [](Row& a, double by) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = n - 1; j + 1 > i; --j)
                a[j] += by * a[j + 1];
    };
    shift(c, lo); // p(lo + x)
    shift(m, std::abs(lo));
    double power = 1.0;
    const double width = hi - lo;
    for (std::size_t i = 1; i <= n; ++i) { // x = width y, then the coefficients reversed
        power *= width;
        c[i] *= power;
        m[i] *= power;
    }
    std::reverse(c.begin(), c.end());
    std::reverse(m.begin(), m.end());
    shift(c, 1.0); // y = 1 / (1 + t)
    shift(m, 1.0);
    // Each coefficient has passed through at most 3 n + 1 roundings (the powers of the width
    // included), and the input's own: a margin of half again.
    constexpr double doubt = 4.0 * (n + 1) * kEps;
    int changes = 0;
    double last = 0.0;
    for (std::size_t i = 0; i <= n; ++i) {
        if (m[i] == 0.0)
            continue; // exactly zero
        if (std::abs(c[i]) <= doubt * m[i])
            return -1;
        changes += last != 0.0 && (c[i] < 0.0) != (last < 0.0);
        last = c[i];
    }
    return changes;
}

// Where Descartes' rule settles (lo, hi) at once, no derivative is needed: no root, or one
// root bracketed by the ends. False where it does not (then nothing is written).
bool settledByDescartes(const Polynomial& p, double lo, double hi, PolynomialRoots& out)
{
    if (!(hi > lo))
        return false;
    const Sample a { lo, p.at(lo) }, b { hi, p.at(hi) };
    if (std::abs(a.at.value) <= a.at.error || std::abs(b.at.value) <= b.at.error)
        return false; // a root at an end: the general way decides whether it is multiple
    const int changes = signChangesBetween(p, lo, hi);
    const bool crossing = (a.at.value < 0.0) != (b.at.value < 0.0);
    if (changes == 0 && !crossing) {
        out = {};
        return true;
    }
    if (changes == 1 && crossing) {
        out = {};
        out.at[0] = { rootInBracket(p, a, b, 0.0), false };
        out.count = 1;
        return true;
    }
    return false;
}

} // namespace

Polynomial Polynomial::fromAscending(const std::array<double, kMaxDegree + 1>& c)
{
    Polynomial p;
    p.c = c;
    p.degree = kMaxDegree;
    while (p.degree > 0 && p.c[static_cast<std::size_t>(p.degree)] == 0.0)
        --p.degree;
    return p;
}

Polynomial Polynomial::derivative() const
{
    Polynomial d;
    d.degree = std::max(degree - 1, 0);
    for (int i = 1; i <= degree; ++i)
        d.c[static_cast<std::size_t>(i - 1)] = i * c[static_cast<std::size_t>(i)];
    return d;
}

Polynomial::Value Polynomial::at(double x) const
{
    // Horner's rule for the value and its derivatives, with the sum of the terms' magnitudes
    // that bounds the rounding error: 2 n roundings of at most half an epsilon each and the
    // coefficients' own, doubled for a margin.
    double v = c[static_cast<std::size_t>(degree)], d = 0.0, b = 0.0;
    double size = std::abs(v);
    const double ax = std::abs(x);
    for (int i = degree - 1; i >= 0; --i) {
        b = b * x + d;
        d = d * x + v;
        v = v * x + c[static_cast<std::size_t>(i)];
        size = size * ax + std::abs(c[static_cast<std::size_t>(i)]);
    }
    return { v, d, b, 2.0 * (degree + 1) * kEps * size };
}

PolynomialRoots realRoots(const Polynomial& p, double lo, double hi)
{
    if (p.degree == 0 || !(lo <= hi))
        return {};
    PolynomialRoots roots;
    if (p.degree >= 3 && settledByDescartes(p, lo, hi, roots))
        return roots;
    std::array<Polynomial, kMaxDegree> chain {};
    chain[0] = p;
    for (int k = 1; k <= p.degree - 2; ++k)
        chain[static_cast<std::size_t>(k)] = chain[static_cast<std::size_t>(k - 1)].derivative();
    // The derivatives only separate the roots above them: their own roots need not be exact to
    // the last bit. The critical points of p itself come to about 1e-15 (an error d there moves
    // p by about p'' d^2 / 2, which the test for a double root compares with rounding), deeper
    // ones to about 1e-9.
    const int closed = p.degree - std::min(p.degree, 2);
    roots = lowDegreeRoots(chain[static_cast<std::size_t>(closed)], lo, hi);
    for (int k = closed - 1; k >= 0; --k) {
        const double settled = k == 0 ? 0.0 : k == 1 ? 1e-5 : 1e-3;
        roots = rootsBetween(chain[static_cast<std::size_t>(k)], lo, hi, roots, settled);
    }
    return roots;
}

double positiveRootBound(const Polynomial& p)
{
    const int n = p.degree;
    const double lead = p.c[static_cast<std::size_t>(n)];
    double largest = 0.0;
    for (int i = 0; i < n; ++i) {
        const double ci = p.c[static_cast<std::size_t>(i)];
        if (ci == 0.0 || (ci < 0.0) == (lead < 0.0))
            continue;
        const double r = std::abs(ci / lead);
        const int k = n - i;
        largest = std::max(largest, k == 1 ? r : k == 2 ? std::sqrt(r) : std::pow(r, 1.0 / k));
    }
    return 2.0 * largest;
}

} // namespace rd::analysis
