// Where a run stands: settled, still changing, oscillating, died out, or ended by an
// arithmetic error. Fed the field of u every so many steps.
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>
#include <span>

namespace rd::analysis {

enum class RunState { StillChanging, Converged, Oscillating, Extinct, ArithmeticError };

const char* runStateName(RunState s);

struct TrackerLimits {
    double convergedChange = 1e-7; // largest change of a cell per step, times uMax
    int settleObservations = 5; // observations in a row below it
    double extinctFraction = 1e-6; // largest u below this times uMax
    // The field's mean is kept for this many observations; an oscillation is looked for in
    // them (periods up to a third of them).
    std::size_t window = 256;
    // Oscillating: one period on, the mean's swings repeat with at least this correlation.
    double periodicCorrelation = 0.8;
    // The fewest observations a period is judged over (short periods are judged over more
    // than three of them, so that a handful of values cannot repeat by chance).
    int judgedOver = 24;
};

class RunTracker {
public:
    explicit RunTracker(double uMax, TrackerLimits limits = {});
    // The field after `steps` (>= 1) more steps; the first call only records it.
    void observe(std::span<const float> u, std::int64_t steps);
    void arithmeticError() { failed_ = true; }
    RunState state() const;
    // The change has stayed below the tolerance for the observations in a row it asks for,
    // and the mean does not oscillate; true of a converged field and of a settled extinct one.
    bool settled() const;
    // The mean of u repeats with a stable period, in swings that stand out from its trend
    // (see RunTracker.cpp).
    bool oscillating() const;
    double lastChangePerStep() const { return lastChange_; }
    // The largest |u| of any cell over the kept observations: the magnitude the field's
    // rounding was made at (see flatness()).
    double recentLargest() const;

private:
    struct Observation {
        double mean;
        double largest; // of |u|
        std::int64_t steps; // since the previous observation; 0 for the first
    };
    double uMax_;
    TrackerLimits limits_;
    std::vector<float> previous_; // indexed every check: contiguous, not a deque
    std::deque<Observation> kept_;
    double lastChange_ = INFINITY;
    int quiet_ = 0;
    bool tiny_ = false; // u below the extinct level at the latest observation
    bool failed_ = false;
};

} // namespace rd::analysis
