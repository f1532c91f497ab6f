#include "tests/analysis/ScanReference.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace rdtest {

using namespace rd::analysis;

namespace {

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

} // namespace

SteadyStateList scannedSteadyStates(const Scheme& s)
{
    std::vector<StateCandidate> uv;
    switch (s.model) {
    case rd::Model::GiererMeinhardt: {
        const auto h = [&s](double u) { return unscaledRates(s, u, u * u).f; };
        // The fraction is below 1 for kC >= 0, so beyond (kA + 1) / kB the rate is negative.
        const double bound = s.kB > 0.0 && s.kC >= 0.0 ? (std::abs(s.kA) + 1.0) / s.kB + 1.0 : 1e6;
        for (double u : scanRoots(h, bound))
            uv.push_back({ u, u * u });
        break;
    }
    case rd::Model::Oregonator: {
        const auto h = [&s](double u) { return unscaledRates(s, u, u).f; };
        for (double u : scanRoots(h, 10.0 * (1.0 + std::abs(s.kA) + std::abs(s.kB))))
            uv.push_back({ u, u });
        break;
    }
    default:
        return steadyStateList(s);
    }
    return settleStates(s, uv);
}

} // namespace rdtest
