// The zeros a typed model's search keeps: polished by Newton's method, put on the box's edges
// where they lie there, told apart from each other, and one for each group of pieces too small
// to decide (TypedStates.cpp tells how the search goes).
#include "analysis/TypedSearch.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace rd::analysis::typed_search {

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

} // namespace rd::analysis::typed_search
