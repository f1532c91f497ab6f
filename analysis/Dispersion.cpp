#include "analysis/Dispersion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace rd::analysis {

namespace {

// Real roots of a x^2 + b x + c = 0 (a may be 0).
void quadraticRoots(double a, double b, double c, std::vector<double>& out)
{
    if (a == 0.0) {
        if (b != 0.0)
            out.push_back(-c / b);
        return;
    }
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0)
        return;
    // The form that avoids cancellation.
    const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
    if (q != 0.0) {
        out.push_back(q / a);
        out.push_back(c / q);
    } else {
        out.push_back(0.0);
    }
}

// The lambdas between which every eigenvalue, its modulus and its real part are monotone:
// the ends, the stationary points of both real eigenvalues and of the determinant, and the
// changes between a real and a complex pair.
// At most seven points; held in place, since a parameter map asks for them at every point.
struct BreakPoints {
    std::array<double, 7> at {};
    std::size_t count = 0;
    void push_back(double l) { at[count++] = l; }
    const double* begin() const { return at.data(); }
    const double* end() const { return at.data() + count; }
};

BreakPoints breakPoints(const Linearisation& lin, double lambdaMin)
{
    const ModeMatrix& m = lin.uniform();
    const double cu = lin.cu(), cv = lin.cv();
    const double bc = m.b * m.c;
    const double gap = m.a - m.d;
    BreakPoints all;
    all.push_back(lambdaMin);
    all.push_back(0.0);
    BreakPoints& pts = all;
    if (cu != cv && bc < 0.0) {
        const double r = std::sqrt(-4.0 * bc);
        pts.push_back((r - gap) / (cu - cv));
        pts.push_back((-r - gap) / (cu - cv));
    }
    // d mu / d lambda = 0 where cu (d - mu) + cv (a - mu) = 0 and (a - mu)(d - mu) = bc.
    if (cu != cv && cu * cv > 0.0 && bc * cu / cv < 0.0) {
        const double p = std::sqrt(-bc * cu / cv);
        pts.push_back((p * (1.0 + cv / cu) - gap) / (cu - cv));
        pts.push_back((-p * (1.0 + cv / cu) - gap) / (cu - cv));
    }
    if (cu * cv != 0.0)
        pts.push_back(-(cu * m.d + cv * m.a) / (2.0 * cu * cv));
    BreakPoints inside;
    for (double l : all)
        if (l >= lambdaMin && l <= 0.0)
            inside.push_back(l);
    return inside;
}

void consider(Extremes& e, bool& first, const Linearisation& lin, const GridMode& mode)
{
    const Amplification g = lin.growth(mode.lambda);
    if (first || g.rho > e.fastest.growth.rho)
        e.fastest = { mode, g };
    if (first || g.lowestReal() < e.lowestReal)
        e.lowestReal = g.lowestReal();
    first = false;
}

} // namespace

Amplification amplification(const ModeMatrix& m)
{
    const double half = 0.5 * (m.a + m.d);
    const double gap = 0.5 * (m.a - m.d);
    const double disc = gap * gap + m.b * m.c;
    if (disc >= 0.0) {
        const double r = std::sqrt(disc);
        const double hi = half + r, lo = half - r;
        return { std::max(std::abs(hi), std::abs(lo)), false, hi, lo };
    }
    const double im = std::sqrt(-disc);
    return { std::hypot(half, im), true, half, im };
}

double lineEigenvalue(int k, int n)
{
    if (k == 0)
        return 0.0; // not -0.0
    const double s = std::sin(std::numbers::pi * k / (2.0 * (n - 1)));
    return -4.0 * s * s;
}

double wavelengthOfEigenvalue(double lambda)
{
    if (lambda >= 0.0)
        return INFINITY;
    if (lambda <= -4.0)
        return 2.0;
    return std::numbers::pi / std::asin(std::sqrt(-lambda / 4.0));
}

Linearisation::Linearisation(const Scheme& s, const Jacobian& j)
    : m0_ { s.su + s.neighbours() * s.cu + s.gainU * j.fu, s.gainU * j.fv, s.gainV * j.gu,
        s.sv + s.neighbours() * s.cv + s.gainV * j.gv }
    , cu_(s.cu)
    , cv_(s.cv)
{ }

ModeMatrix Linearisation::at(double lambda) const
{
    return { m0_.a + cu_ * lambda, m0_.b, m0_.c, m0_.d + cv_ * lambda };
}

ModeTable::ModeTable(int n, bool oneD)
    : n_(n)
    , oneD_(oneD)
{
    std::vector<double> line(static_cast<std::size_t>(std::max(n, 0)));
    for (int k = 0; k < n; ++k)
        line[static_cast<std::size_t>(k)] = lineEigenvalue(k, n);
    if (n < 2)
        return;
    if (oneD) {
        for (int k = 0; k < n; ++k)
            modes_.push_back({ line[static_cast<std::size_t>(k)], k, 0 });
    } else {
        for (int ky = 0; ky < n; ++ky)
            for (int kx = 0; kx <= ky; ++kx)
                modes_.push_back(
                    { line[static_cast<std::size_t>(kx)] + line[static_cast<std::size_t>(ky)], kx,
                        ky });
    }
    std::stable_sort(modes_.begin(), modes_.end(),
        [](const GridMode& a, const GridMode& b) { return a.lambda < b.lambda; });
}

std::pair<const GridMode*, const GridMode*> ModeTable::around(double lambda) const
{
    const auto it = std::lower_bound(modes_.begin(), modes_.end(), lambda,
        [](const GridMode& m, double l) { return m.lambda < l; });
    const GridMode* above = it == modes_.end() ? nullptr : &*it;
    const GridMode* below = it == modes_.begin() ? nullptr : &*(it - 1);
    return { below, above };
}

Extremes gridExtremes(const Linearisation& lin, const ModeTable& table)
{
    Extremes e;
    bool first = true;
    const double lambdaMin = table.oneD() ? -4.0 : -8.0;
    for (double l : breakPoints(lin, lambdaMin)) {
        const auto [below, above] = table.around(l);
        if (below)
            consider(e, first, lin, *below);
        if (above)
            consider(e, first, lin, *above);
    }
    return e;
}

Extremes gridExtremesByScan(const Linearisation& lin, const ModeTable& table)
{
    Extremes e;
    bool first = true;
    for (const GridMode& m : table.modes())
        consider(e, first, lin, m);
    return e;
}

ContinuousMaximum continuousMaximum(const Linearisation& lin, double lambdaMin)
{
    ContinuousMaximum best { 0.0, -1.0 };
    for (double l : breakPoints(lin, lambdaMin)) {
        const double rho = lin.growth(l).rho;
        if (rho > best.rho)
            best = { l, rho };
    }
    return best;
}

std::vector<Band> unstableBands(const Linearisation& lin, double lambdaMin, double tolerance)
{
    const ModeMatrix& m = lin.uniform();
    const double cu = lin.cu(), cv = lin.cv();
    const BreakPoints found = breakPoints(lin, lambdaMin);
    std::vector<double> pts(found.begin(), found.end());
    const double bc = m.b * m.c;
    // A real eigenvalue equal to +-r, and a complex pair of modulus r.
    const double r = 1.0 + tolerance;
    for (double mu : { r, -r })
        quadraticRoots(
            cu * cv, cu * (m.d - mu) + cv * (m.a - mu), (m.a - mu) * (m.d - mu) - bc, pts);
    quadraticRoots(cu * cv, cu * m.d + cv * m.a, m.a * m.d - bc - r * r, pts);
    std::erase_if(pts, [&](double l) { return !(l >= lambdaMin && l <= 0.0); });
    std::sort(pts.begin(), pts.end());
    std::vector<Band> bands;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const double lo = pts[i], hi = pts[i + 1];
        if (hi <= lo || lin.growth(0.5 * (lo + hi)).rho <= r)
            continue;
        if (!bands.empty() && bands.back().lambdaHigh == lo)
            bands.back().lambdaHigh = hi;
        else
            bands.push_back({ lo, hi });
    }
    // A single unstable point (an end only) still counts.
    for (double end : { lambdaMin, 0.0 })
        if (lin.growth(end).rho > r && std::none_of(bands.begin(), bands.end(), [&](const Band& b) {
                return end >= b.lambdaLow && end <= b.lambdaHigh;
            }))
            bands.push_back({ end, end });
    std::sort(bands.begin(), bands.end(),
        [](const Band& a, const Band& b) { return a.lambdaLow < b.lambdaLow; });
    return bands;
}

} // namespace rd::analysis
