#include "analysis/RunTracker.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace rd::analysis {

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
    double largest = 0.0, change = 0.0, sum = 0.0;
    for (std::size_t i = 0; i < u.size(); ++i) {
        const double x = u[i];
        largest = std::max(largest, x);
        sum += x;
        if (previous_.size() == u.size())
            change = std::max(change, std::abs(x - double(previous_[i])));
    }
    largest_ = largest;
    span_ = std::max(span_, steps);
    if (previous_.size() == u.size() && steps > 0) {
        lastChange_ = change / double(steps);
        quiet_ = lastChange_ < limits_.convergedChange * uMax_ ? quiet_ + 1 : 0;
    }
    previous_.assign(u.begin(), u.end());
    means_.push_back(u.empty() ? 0.0 : sum / double(u.size()));
    if (means_.size() > limits_.window)
        means_.pop_front();
}

RunState RunTracker::state() const
{
    if (failed_)
        return RunState::ArithmeticError;
    if (largest_ < limits_.extinctFraction * uMax_)
        return RunState::Extinct;
    if (quiet_ >= limits_.settleObservations)
        return RunState::Converged;
    // Reversals of the mean, counting only swings larger than the converged change over the
    // steps between observations: a settling field's mean jitters by rounding at every
    // observation, and that is no oscillation.
    const double floor = limits_.convergedChange * uMax_ * double(std::max<std::int64_t>(span_, 1));
    int turns = 0, direction = 0;
    double anchor = means_.empty() ? 0.0 : means_.front();
    for (double m : means_) {
        const double step = m - anchor;
        if (std::abs(step) <= floor)
            continue;
        const int d = step > 0.0 ? 1 : -1;
        if (direction != 0 && d != direction)
            ++turns;
        direction = d;
        anchor = m;
    }
    if (turns >= limits_.oscillationTurns)
        return RunState::Oscillating;
    return RunState::StillChanging;
}

} // namespace rd::analysis
