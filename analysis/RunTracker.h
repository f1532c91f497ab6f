// Where a run stands: settled, still changing, oscillating as a whole, died out, or ended by
// an arithmetic error. Fed the field of u every so many steps.
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <span>

namespace rd::analysis {

enum class RunState { StillChanging, Converged, Oscillating, Extinct, ArithmeticError };

const char* runStateName(RunState s);

struct TrackerLimits {
    double convergedChange = 1e-7; // largest change of a cell per step, times uMax
    int settleObservations = 5; // observations in a row below it
    double extinctFraction = 1e-6; // largest u below this times uMax
    int oscillationTurns = 4; // reversals of the field's mean in the recent observations
    std::size_t window = 64; // observations the reversals are counted over
};

class RunTracker {
public:
    explicit RunTracker(double uMax, TrackerLimits limits = {});
    // The field after `steps` (>= 1) more steps; the first call only records it.
    void observe(std::span<const float> u, std::int64_t steps);
    void arithmeticError() { failed_ = true; }
    RunState state() const;
    // The change has stayed below the tolerance for the observations in a row it asks for;
    // true of a converged field and of a settled extinct one.
    bool settled() const { return quiet_ >= limits_.settleObservations; }
    double lastChangePerStep() const { return lastChange_; }

private:
    double uMax_;
    TrackerLimits limits_;
    std::deque<float> previous_;
    std::deque<double> means_;
    double lastChange_ = INFINITY;
    double largest_ = INFINITY;
    std::int64_t span_ = 0; // the most steps between two observations
    int quiet_ = 0;
    bool failed_ = false;
};

} // namespace rd::analysis
