// Uniform steady states. Schnakenberg and Gray-Scott have closed forms; Gierer-Meinhardt and
// the Oregonator reduce to one equation h(u) = f(u, v(u)) on the nullcline of g, whose roots
// are bracketed on a dense scan and then bisected, so that none is missed and none is
// reported twice.
#include "analysis/Scheme.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace rd::analysis {

namespace {

// Distance below which two states count as one fold: a pair this close is a pair of states
// merging (Gray-Scott's start-up point gives two single-precision states 6e-5 apart).
constexpr double kFoldDistance = 1e-4;

double bisect(const std::function<double(double)>& h, double lo, double hi)
{
    double hlo = h(lo);
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi)
            break;
        const double hm = h(mid);
        if (hm == 0.0)
            return mid;
        if ((hm < 0.0) == (hlo < 0.0)) {
            lo = mid;
            hlo = hm;
        } else {
            hi = mid;
        }
    }
    return 0.5 * (lo + hi);
}

// The point of [lo, hi] where |h| is least, for a root that touches zero without crossing.
double leastMagnitude(const std::function<double(double)>& h, double lo, double hi)
{
    for (int i = 0; i < 200 && hi - lo > 1e-15 * (1.0 + std::abs(lo)); ++i) {
        const double a = lo + (hi - lo) / 3.0, b = hi - (hi - lo) / 3.0;
        if (std::abs(h(a)) < std::abs(h(b)))
            hi = b;
        else
            lo = a;
    }
    return 0.5 * (lo + hi);
}

// Every root of h on [0, bound]: exact zeros of the scan, sign changes, and touching zeros
// (a double root, which a sign test alone never sees).
std::vector<double> scanRoots(const std::function<double(double)>& h, double bound)
{
    constexpr int kPoints = 2000;
    std::vector<double> even { 0.0 }, spread;
    for (int i = 0; i <= kPoints; ++i) {
        even.push_back(bound * i / kPoints);
        spread.push_back(1e-12 * std::pow(bound / 1e-12, double(i) / kPoints));
    }
    // Both runs ascend (a parameter map calls this for every point: a merge, not a sort).
    if (!std::is_sorted(spread.begin(), spread.end()))
        std::sort(spread.begin(), spread.end());
    std::vector<double> xs(even.size() + spread.size());
    std::merge(even.begin(), even.end(), spread.begin(), spread.end(), xs.begin());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::vector<double> hs(xs.size());
    double scale = 0.0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        hs[i] = h(xs[i]);
        if (std::isfinite(hs[i]))
            scale = std::max(scale, std::abs(hs[i]));
    }
    std::vector<double> roots;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (!std::isfinite(hs[i]))
            continue;
        if (hs[i] == 0.0) {
            roots.push_back(xs[i]);
            continue;
        }
        if (i + 1 < xs.size() && std::isfinite(hs[i + 1]) && hs[i + 1] != 0.0
            && (hs[i] < 0.0) != (hs[i + 1] < 0.0)) {
            // A sign change across a pole (a denominator passing 0) is no root.
            const double x = bisect(h, xs[i], xs[i + 1]);
            if (std::abs(h(x)) <= 1e-9 * std::max(scale, 1.0))
                roots.push_back(x);
        }
        if (i > 0 && i + 1 < xs.size() && std::isfinite(hs[i - 1]) && std::isfinite(hs[i + 1])
            && std::abs(hs[i]) < std::abs(hs[i - 1]) && std::abs(hs[i]) < std::abs(hs[i + 1])
            && (hs[i - 1] < 0.0) == (hs[i] < 0.0) && (hs[i + 1] < 0.0) == (hs[i] < 0.0)) {
            const double x = leastMagnitude(h, xs[i - 1], xs[i + 1]);
            if (std::abs(h(x)) <= 1e-13 * std::max(scale, 1.0))
                roots.push_back(x);
        }
    }
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end(),
                    [](double a, double b) { return std::abs(a - b) <= 1e-13 * (1.0 + a); }),
        roots.end());
    return roots;
}

std::vector<std::pair<double, double>> candidates(const Scheme& s)
{
    std::vector<std::pair<double, double>> uv;
    switch (s.model) {
    case Model::Schnakenberg: {
        const double u = s.kA + s.kB;
        if (u != 0.0)
            uv.emplace_back(u, s.kB / (u * u));
        break;
    }
    case Model::GrayScott: {
        uv.emplace_back(0.0, 1.0);
        // u v = F + k and (F + k) u^2 - F u + F (F + k) = 0.
        const double r = s.kA + s.kB;
        const double disc = s.kA * s.kA - 4.0 * s.kA * r * r;
        if (r != 0.0 && disc >= 0.0) {
            const double root = std::sqrt(disc);
            for (double u : { (s.kA - root) / (2.0 * r), (s.kA + root) / (2.0 * r) })
                if (u != 0.0)
                    uv.emplace_back(u, r / u);
        }
        break;
    }
    case Model::GiererMeinhardt: {
        const auto h = [&s](double u) { return unscaledRates(s, u, u * u).f; };
        // The fraction is below 1 for kC >= 0, so beyond (kA + 1) / kB the rate is negative.
        const double bound = s.kB > 0.0 && s.kC >= 0.0 ? (std::abs(s.kA) + 1.0) / s.kB + 1.0 : 1e6;
        for (double u : scanRoots(h, bound))
            uv.emplace_back(u, u * u);
        break;
    }
    case Model::Oregonator: {
        const auto h = [&s](double u) { return unscaledRates(s, u, u).f; };
        for (double u : scanRoots(h, 10.0 * (1.0 + std::abs(s.kA) + std::abs(s.kB))))
            uv.emplace_back(u, u);
        break;
    }
    }
    return uv;
}

} // namespace

std::vector<SteadyState> steadyStates(const Scheme& s)
{
    std::vector<SteadyState> states;
    for (const auto& [u, v] : candidates(s)) {
        if (!(u >= 0.0 && v >= 0.0) || !std::isfinite(u) || !std::isfinite(v))
            continue;
        SteadyState st { u, v, jacobianAt(s, u, v), false };
        const Jacobian& j = st.jacobian;
        const double size = std::abs(j.fu) + std::abs(j.fv) + std::abs(j.gu) + std::abs(j.gv);
        st.fold = std::abs(j.det()) <= 1e-12 * size * size;
        states.push_back(st);
    }
    std::sort(states.begin(), states.end(),
        [](const SteadyState& a, const SteadyState& b) { return a.u < b.u; });
    for (std::size_t i = 0; i + 1 < states.size(); ++i) {
        SteadyState& a = states[i];
        SteadyState& b = states[i + 1];
        if (std::abs(a.u - b.u) <= kFoldDistance * (1.0 + std::abs(a.u))
            && std::abs(a.v - b.v) <= kFoldDistance * (1.0 + std::abs(a.v)))
            a.fold = b.fold = true;
    }
    return states;
}

} // namespace rd::analysis
