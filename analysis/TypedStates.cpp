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

#include "analysis/TypedEvaluation.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace rd::analysis {

namespace {

// Far more than a double root or a few close pairs take (some hundreds); a curve of zeros
// runs into these within milliseconds.
constexpr long kPieceBudget = 50000;
constexpr std::size_t kUndecidedLimit = 1024;

struct Piece {
    Interval u, v;
};

bool inside(const Piece& p, double u, double v)
{
    return p.u.contains(u) && p.v.contains(v);
}

Piece widened(const Piece& p, double byU, double byV)
{
    return { { p.u.lo - byU, p.u.hi + byU }, { p.v.lo - byV, p.v.hi + byV } };
}

struct Verified {
    double u, v;
    Piece unique; // no other zero lies in it
};

struct Mat {
    double a, b, c, d; // [[a, b], [c, d]]
};

bool invert(const Mat& m, Mat& out)
{
    const double det = m.a * m.d - m.b * m.c;
    out = { m.d / det, -m.b / det, -m.c / det, m.a / det };
    return det != 0.0 && std::isfinite(out.a) && std::isfinite(out.b) && std::isfinite(out.c)
        && std::isfinite(out.d);
}

double residual(const RateDerivatives& d)
{
    return std::max(std::abs(d.f), std::abs(d.g));
}

enum class Verdict { Excluded, Verified, Contracted, Undecided };

class Search {
public:
    explicit Search(const Scheme& s)
        : s_(s)
        , affine_(*s.typed)
        , box_(*s.typed)
        , point_(*s.typed)
        , extentU_(s.box.uHigh - s.box.uLow)
        , extentV_(s.box.vHigh - s.box.vLow)
        , minU_(std::ldexp(extentU_, -kResolutionBits))
        , minV_(std::ldexp(extentV_, -kResolutionBits))
    { }

    TypedZeros run();

private:
    const Scheme& s_;
    AffineEvaluation affine_;
    BoxEvaluation box_;
    PointEvaluation point_;
    double extentU_, extentV_, minU_, minV_;
    TypedZeros out_;
    std::array<Verified, kMaxSteadyStates> verified_ {};
    std::size_t verifiedCount_ = 0;

    Verdict step(Piece& x, Verified& found);
    bool unique(const Piece& k, Verified& found);
    void bisect(const Piece& x, std::vector<Piece>& stack) const;
    bool polish(double& u, double& v, int iterations);
    bool keep(double& u, double& v);
    bool add(double u, double v, bool multiple);
    void addVerified(const Verified& z);
    void addClusters(std::vector<Piece>& undecided);
    bool smallestWithin(const Piece& around, double u, double v);
};

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

// Newton's method with the exact Jacobian from (u, v); leaves the iterate of smallest
// residual there. False when the residual never became finite.
bool Search::polish(double& u, double& v, int iterations)
{
    RateDerivatives d = point_.at(u, v);
    double best = residual(d);
    double bu = u, bv = v;
    for (int k = 0; k < iterations && best > 0.0; ++k) {
        Mat inv;
        if (!invert({ d.fu, d.fv, d.gu, d.gv }, inv))
            break;
        const double stepU = inv.a * d.f + inv.b * d.g, stepV = inv.c * d.f + inv.d * d.g;
        if (!std::isfinite(stepU) || !std::isfinite(stepV))
            break;
        u -= stepU;
        v -= stepV;
        d = point_.at(u, v);
        const double r = residual(d);
        if (r < best) {
            best = r;
            bu = u;
            bv = v;
        }
        if (std::abs(stepU) <= 0x1p-50 * std::abs(u) + std::ldexp(extentU_, -60)
            && std::abs(stepV) <= 0x1p-50 * std::abs(v) + std::ldexp(extentV_, -60))
            break;
    }
    u = bu;
    v = bv;
    return std::isfinite(best);
}

// A zero within a hair of 0 or an edge of the box is put there when the rates are no further
// from 0 there (Gray-Scott's u = 0 comes out of Newton's method as 1e-30 or -1e-30); then it
// is kept only inside the box.
bool Search::keep(double& u, double& v)
{
    const auto target = [](double x, double lo, double hi, double tol) {
        for (double t : { 0.0, lo, hi })
            if (x != t && std::abs(x - t) <= tol)
                return t;
        return x;
    };
    const double su = target(u, s_.box.uLow, s_.box.uHigh, minU_);
    const double sv = target(v, s_.box.vLow, s_.box.vHigh, minV_);
    if (su != u || sv != v) {
        const RateDerivatives here = point_.at(u, v);
        const auto better = [&](double tu, double tv) {
            const RateDerivatives d = point_.at(tu, tv);
            return std::abs(d.f) <= std::abs(here.f) && std::abs(d.g) <= std::abs(here.g);
        };
        if (better(su, sv)) {
            u = su;
            v = sv;
        } else if (su != u && better(su, v)) {
            u = su;
        } else if (sv != v && better(u, sv)) {
            v = sv;
        }
    }
    return u >= s_.box.uLow && u <= s_.box.uHigh && v >= s_.box.vLow && v <= s_.box.vHigh;
}

bool Search::add(double u, double v, bool multiple)
{
    if (out_.count == out_.at.size()) {
        out_.complete = false; // more zeros than a list holds
        return false;
    }
    out_.at[out_.count++] = { u, v, multiple };
    return true;
}

void Search::addVerified(const Verified& z)
{
    const double slackU = std::ldexp(extentU_, -50), slackV = std::ldexp(extentV_, -50);
    for (std::size_t k = 0; k < verifiedCount_; ++k) {
        const Verified& o = verified_[k];
        if (inside(widened(o.unique, slackU, slackV), z.u, z.v)
            || inside(widened(z.unique, slackU, slackV), o.u, o.v))
            return; // the same zero, seen from the next piece
    }
    double u = z.u, v = z.v;
    if (!keep(u, v) || !add(u, v, false))
        return;
    verified_[verifiedCount_++] = z;
}

// One zero for each connected group of undecided pieces (pieces within their own size of
// each other count as connected: a contraction may leave a gap between two).
void Search::addClusters(std::vector<Piece>& undecided)
{
    const std::size_t n = undecided.size();
    thread_local std::vector<std::size_t> parent;
    parent.resize(n);
    std::iota(parent.begin(), parent.end(), std::size_t { 0 });
    const auto root = [&](std::size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const Piece a
            = widened(undecided[i], undecided[i].u.width() + minU_, undecided[i].v.width() + minV_);
        for (std::size_t k = i + 1; k < n; ++k) {
            const Piece& b = undecided[k];
            if (b.u.lo <= a.u.hi && b.u.hi >= a.u.lo && b.v.lo <= a.v.hi && b.v.hi >= a.v.lo)
                parent[root(k)] = root(i);
        }
    }
    const double slackU = std::ldexp(extentU_, -50), slackV = std::ldexp(extentV_, -50);
    for (std::size_t i = 0; i < n; ++i) {
        if (root(i) != i)
            continue;
        // The group's hull and its piece of smallest residual at the middle.
        Piece hullOf = undecided[i];
        double best = INFINITY, su = undecided[i].u.mid(), sv = undecided[i].v.mid();
        for (std::size_t k = i; k < n; ++k) {
            if (root(k) != i)
                continue;
            const Piece& p = undecided[k];
            hullOf = { hull(hullOf.u, p.u), hull(hullOf.v, p.v) };
            const double r = residual(point_.at(p.u.mid(), p.v.mid()));
            if (r < best) {
                best = r;
                su = p.u.mid();
                sv = p.v.mid();
            }
        }
        double u = su, v = sv;
        const Piece around = widened(hullOf, hullOf.u.width() + minU_, hullOf.v.width() + minV_);
        if (!polish(u, v, 200) || !inside(around, u, v)) {
            u = su;
            v = sv;
        }
        bool known = false;
        for (std::size_t k = 0; k < verifiedCount_ && !known; ++k)
            known = inside(widened(verified_[k].unique, slackU, slackV), u, v);
        if (!known && smallestWithin(around, u, v) && keep(u, v))
            add(u, v, true);
    }
}

// The residual at (u, v) is below its value at every corner of `around` where the rates are
// defined: the group surrounds a zero, not a pole, where the rates grow towards the middle
// (no interval excludes a piece across a pole).
bool Search::smallestWithin(const Piece& around, double u, double v)
{
    const double here = residual(point_.at(u, v));
    if (!std::isfinite(here))
        return false;
    int defined = 0;
    for (double cu : { around.u.lo, around.u.hi })
        for (double cv : { around.v.lo, around.v.hi }) {
            const double r = residual(point_.at(cu, cv));
            if (!std::isfinite(r))
                continue;
            if (r <= here)
                return false;
            ++defined;
        }
    return defined > 0;
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

} // namespace

TypedZeros typedZeros(const Scheme& s)
{
    return Search(s).run();
}

} // namespace rd::analysis
