#include "analysis/RunTracker.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace rd::analysis {

namespace {

// Pearson's correlation of a[0..m) with b[0..m); 0 when either does not vary.
double correlation(const double* a, const double* b, std::size_t m)
{
    double ma = 0.0, mb = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= double(m);
    mb /= double(m);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// x less its least-squares line, into r; returns the line's slope per observation.
double detrend(const double* x, std::size_t m, std::vector<double>& r)
{
    const double mid = 0.5 * double(m - 1);
    double mean = 0.0;
    for (std::size_t i = 0; i < m; ++i)
        mean += x[i];
    mean /= double(m);
    double num = 0.0, den = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        num += (double(i) - mid) * (x[i] - mean);
        den += (double(i) - mid) * (double(i) - mid);
    }
    const double slope = num / den;
    r.resize(m);
    for (std::size_t i = 0; i < m; ++i)
        r[i] = x[i] - mean - slope * (double(i) - mid);
    return slope;
}

double range(const double* x, std::size_t m)
{
    const auto [lo, hi] = std::minmax_element(x, x + m);
    return *hi - *lo;
}

} // namespace

const char* runStateName(RunState s)
{
    switch (s) {
    case RunState::StillChanging:
        return "still changing";
    case RunState::Converged:
        return "converged";
    case RunState::Oscillating:
        return "oscillating";
    case RunState::Extinct:
        return "extinct";
    case RunState::ArithmeticError:
        return "arithmetic error";
    }
    return "";
}

RunTracker::RunTracker(double uMax, TrackerLimits limits)
    : uMax_(std::abs(uMax))
    , limits_(limits)
{ }

void RunTracker::observe(std::span<const float> u, std::int64_t steps)
{
    double largest = 0.0, magnitude = 0.0, change = 0.0, sum = 0.0;
    const bool compare = previous_.size() == u.size();
    for (std::size_t i = 0; i < u.size(); ++i) {
        const double x = u[i];
        largest = std::max(largest, x);
        magnitude = std::max(magnitude, std::abs(x));
        sum += x;
        if (compare)
            change = std::max(change, std::abs(x - double(previous_[i])));
    }
    const bool first = kept_.empty();
    if (previous_.size() == u.size() && steps > 0) {
        lastChange_ = change / double(steps);
        quiet_ = lastChange_ < limits_.convergedChange * uMax_ ? quiet_ + 1 : 0;
    }
    tiny_ = largest < limits_.extinctFraction * uMax_;
    previous_.assign(u.begin(), u.end());
    kept_.push_back({ u.empty() ? 0.0 : sum / double(u.size()), magnitude, first ? 0 : steps });
    if (kept_.size() > limits_.window)
        kept_.pop_front();
}

double RunTracker::recentLargest() const
{
    double largest = 0.0;
    for (const Observation& o : kept_)
        largest = std::max(largest, o.largest);
    return largest;
}

// The mean of u oscillates when, over the latest observations at a regular spacing, some
// period P (2 observations or more, at most a third of them) passes every test:
// - after the least-squares line of the last max(3 P, judgedOver) observations is taken
//   away, what is left correlates with itself P observations on by periodicCorrelation or
//   more (the swings recur with that period) and negatively half a period on (a trough
//   between the repeats: a smooth drift correlates positively at every shift);
// - the swings (half the range of what is left) exceed the converged change over one
//   spacing, so rounding never oscillates, and the line's rise over one period, so a trend
//   with small reversals (spots dividing, a labyrinth growing) does not either;
// - the last period's swing is at least half the first one's: the oscillation goes on.
// The mean is seen only at the checks: a period close to two spacings shows as an alternation
// of the checks, and one of exactly one spacing not at all.
bool RunTracker::oscillating() const
{
    // A run's last observation may come after fewer steps than the others: the series ends
    // at the last observation of the regular spacing and begins where that spacing began.
    std::size_t end = kept_.size();
    if (end >= 3 && kept_[end - 1].steps != kept_[end - 2].steps)
        --end;
    if (end < 2)
        return false;
    const std::int64_t spacing = kept_[end - 1].steps;
    std::size_t begin = end - 1;
    while (begin > 0 && kept_[begin].steps == spacing)
        --begin;
    std::vector<double> mean;
    for (std::size_t i = begin; i < end; ++i)
        mean.push_back(kept_[i].mean);
    const std::size_t n = mean.size();
    const double floor = limits_.convergedChange * uMax_ * double(spacing);
    const auto shortest = static_cast<std::size_t>(std::max(limits_.judgedOver, 3));
    std::vector<double> r;
    for (std::size_t p = 2; 3 * p <= n; ++p) {
        const std::size_t m = std::max(3 * p, shortest);
        if (m > n)
            continue;
        const double slope = detrend(mean.data() + (n - m), m, r);
        const double swing = 0.5 * range(r.data(), m);
        if (swing <= floor || swing < std::abs(slope) * double(p))
            continue;
        if (correlation(r.data(), r.data() + p, m - p) < limits_.periodicCorrelation)
            continue;
        const std::size_t half = std::max<std::size_t>(p / 2, 1);
        if (correlation(r.data(), r.data() + half, m - half) >= 0.0)
            continue;
        if (range(r.data() + (m - p), p) < 0.5 * range(r.data(), p))
            continue;
        return true;
    }
    return false;
}

bool RunTracker::settled() const
{
    return quiet_ >= limits_.settleObservations && !oscillating();
}

RunState RunTracker::state() const
{
    if (failed_)
        return RunState::ArithmeticError;
    // An oscillation first: a spiking field is quiet, and its u may even be all zero, for a
    // while between spikes.
    if (oscillating())
        return RunState::Oscillating;
    if (tiny_)
        return RunState::Extinct;
    if (quiet_ >= limits_.settleObservations)
        return RunState::Converged;
    return RunState::StillChanging;
}

} // namespace rd::analysis
