// The zeros of a typed model's rates in a box. The box is split, depth first, and each piece
// X is tried in turn by
//   the natural interval enclosure of the compiled program: a rate whose enclosure lies on
//     one side of 0 has no zero in X;
//   affine forms of both rates over X widened by an eighth of its sides (so that a zero on an
//     edge between pieces lies inside one): their ranges, then their linear parts inverted,
//     which bound where any zero can be (Search::step). That excludes X, contracts it to the
//     part that holds every zero of it, or shows a zero there; the interval Krawczyk test
//     (K = c - Y F(c) + (I - Y J) (X' - c) inside X', J the Jacobian over X' by forward
//     differentiation in intervals) then proves it the only one, and Newton's method with
//     the exact Jacobian polishes it;
// and otherwise split in two across its longer side (measured in the box's sides), down to
// 2^-kResolutionBits of the box's sides. Pieces that small and still undecided surround a
// double root (the Jacobian is singular there, so no Krawczyk test succeeds) or zeros closer
// than that: each connected group of them gives one zero, polished from its piece of
// smallest residual and marked multiple, so a tangential root is reported once and as a fold.
// A zero verified twice (near an edge) is one when either estimate lies in the other's X'.
// Every bound is rounded outward, so no piece holding a zero is ever excluded.
#include "analysis/TypedStates.h"

#include "analysis/TypedSearch.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace rd::analysis {

namespace typed_search {

// The affine forms of the rates over the piece widened by an eighth of its sides (so that a
// zero on an edge between pieces lies inside one): F = F0 + A e + B n + E, e the box's own
// symbols, n the other symbols, E the errors. With M close to the inverse of A, every zero
// has e = -M F0 - (M A - I) e - M B n - M E, a Krawczyk operator whose terms in n keep the
// correlation between f and g. Its bounds exclude the piece, contract it, or (strictly
// inside) show a zero, which the interval Krawczyk test then shows to be the only one.
Verdict Search::step(Piece& x, Verified& found)
{
    const Piece wide = widened(x, x.u.width() / 8.0, x.v.width() / 8.0);
    const BoxForms fm = affine_.forms(wide.u, wide.v);
    if (fm.nowhere || affine::range(fm.f).excludesZero() || affine::range(fm.g).excludesZero())
        return Verdict::Excluded;
    const Affine& f = fm.f;
    const Affine& g = fm.g;
    Mat m;
    if (!invert({ f.x[0], f.x[1], g.x[0], g.x[1] }, m))
        return Verdict::Undecided;
    const double rf = std::abs(f.x0) + affine::radius(f), rg = std::abs(g.x0) + affine::radius(g);
    std::array<Interval, 2> e;
    for (int i = 0; i < 2; ++i) {
        const double p = i == 0 ? m.a : m.c, q = i == 0 ? m.b : m.d;
        double spread = std::abs(p * f.x[0] + q * g.x[0] - (i == 0 ? 1.0 : 0.0))
            + std::abs(p * f.x[1] + q * g.x[1] - (i == 1 ? 1.0 : 0.0));
        for (std::size_t k = 2; k < f.x.size(); ++k)
            spread += std::abs(p * f.x[k] + q * g.x[k]);
        spread += std::abs(p) * f.err + std::abs(q) * g.err
            + affine::kRound * (std::abs(p) * rf + std::abs(q) * rg + 2.0);
        spread *= affine::kGrow;
        const double centre = -(p * f.x0 + q * g.x0);
        if (!(spread <= interval_detail::kMax) || !std::isfinite(centre))
            return Verdict::Undecided;
        e[static_cast<std::size_t>(i)]
            = { interval_detail::down(centre - spread), interval_detail::up(centre + spread) };
    }
    const Interval unit { -1.0, 1.0 };
    if (intersect(e[0], unit).isEmpty() || intersect(e[1], unit).isEmpty())
        return Verdict::Excluded;
    // Back from the symbols to u and v, as affine::variable set them up.
    const Affine au = affine::variable(wide.u, 0), av = affine::variable(wide.v, 1);
    const Piece k { Interval::point(au.x0) + au.x[0] * e[0],
        Interval::point(av.x0) + av.x[1] * e[1] };
    const bool exists
        = fm.everywhere && e[0].lo > -1.0 && e[0].hi < 1.0 && e[1].lo > -1.0 && e[1].hi < 1.0;
    if (exists && unique(k, found))
        return Verdict::Verified;
    const Piece left { intersect(k.u, x.u), intersect(k.v, x.v) };
    if (left.u.isEmpty() || left.v.isEmpty())
        return Verdict::Excluded;
    const double before = x.u.width() / extentU_ + x.v.width() / extentV_;
    const double after = left.u.width() / extentU_ + left.v.width() / extentV_;
    x = left;
    return after <= 0.75 * before ? Verdict::Contracted : Verdict::Undecided;
}

// The interval Krawczyk test on k widened: K = c - Y F(c) + (I - Y J) (k' - c) inside k'
// means k' holds exactly one zero. Then Newton's method polishes it.
bool Search::unique(const Piece& k, Verified& found)
{
    const double padU = std::max(k.u.width() / 4.0, std::ldexp(extentU_, -40));
    const double padV = std::max(k.v.width() / 4.0, std::ldexp(extentV_, -40));
    const Piece wide = widened(k, padU, padV);
    BoxJacobian j;
    const BoxRates r = box_.ratesAndJacobian(wide.u, wide.v, j);
    if (r.nowhere || !r.everywhere)
        return false;
    const double cu = wide.u.mid(), cv = wide.v.mid();
    const BoxRates fc = box_.rates(Interval::point(cu), Interval::point(cv));
    Mat y;
    if (fc.nowhere || !fc.everywhere
        || !invert({ j.fu.mid(), j.fv.mid(), j.gu.mid(), j.gv.mid() }, y))
        return false;
    const Interval du = wide.u - Interval::point(cu), dv = wide.v - Interval::point(cv);
    const Interval one = Interval::point(1.0);
    const Interval m11 = one - (y.a * j.fu + y.b * j.gu), m12 = -(y.a * j.fv + y.b * j.gv);
    const Interval m21 = -(y.c * j.fu + y.d * j.gu), m22 = one - (y.c * j.fv + y.d * j.gv);
    const Interval ku = Interval::point(cu) - (y.a * fc.f + y.b * fc.g) + m11 * du + m12 * dv;
    const Interval kv = Interval::point(cv) - (y.c * fc.f + y.d * fc.g) + m21 * du + m22 * dv;
    if (!(ku.lo > wide.u.lo && ku.hi < wide.u.hi && kv.lo > wide.v.lo && kv.hi < wide.v.hi))
        return false;
    found = { ku.mid(), kv.mid(), wide };
    double u = found.u, v = found.v;
    // Newton's estimate, unless it strayed from where the zero is known to lie.
    if (polish(u, v, 50) && ku.contains(u) && kv.contains(v)) {
        found.u = u;
        found.v = v;
    }
    return true;
}

void Search::bisect(const Piece& x, std::vector<Piece>& stack) const
{
    if (x.u.width() / extentU_ >= x.v.width() / extentV_) {
        const double m = x.u.mid();
        stack.push_back({ { m, x.u.hi }, x.v });
        stack.push_back({ { x.u.lo, m }, x.v });
    } else {
        const double m = x.v.mid();
        stack.push_back({ x.u, { m, x.v.hi } });
        stack.push_back({ x.u, { x.v.lo, m } });
    }
}

TypedZeros Search::run()
{
    thread_local std::vector<Piece> stack, undecided;
    stack.clear();
    undecided.clear();
    stack.push_back({ { s_.box.uLow, s_.box.uHigh }, { s_.box.vLow, s_.box.vHigh } });
    long pieces = 0;
    while (!stack.empty() && out_.complete) {
        if (++pieces > kPieceBudget) {
            out_.complete = false;
            break;
        }
        Piece x = stack.back();
        stack.pop_back();
        if (box_.rates(x.u, x.v).excludesZero())
            continue;
        Verified found;
        switch (step(x, found)) {
        case Verdict::Excluded:
            continue;
        case Verdict::Verified:
            addVerified(found);
            continue;
        case Verdict::Contracted:
            stack.push_back(x);
            continue;
        case Verdict::Undecided:
            break;
        }
        if (x.u.width() > minU_ || x.v.width() > minV_)
            bisect(x, stack);
        else if (undecided.size() < kUndecidedLimit)
            undecided.push_back(x);
        else
            out_.complete = false;
    }
    addClusters(undecided);
    return out_;
}

} // namespace typed_search

TypedZeros typedZeros(const Scheme& s)
{
    return typed_search::Search(s).run();
}

} // namespace rd::analysis
