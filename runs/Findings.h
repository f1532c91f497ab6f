// What a run says beside its files: the state it ended in, the step it stopped at, and the
// wavelength the linear analysis predicts against the one its final field shows.
#pragma once

#include "analysis/FeaturedState.h"
#include "analysis/Prediction.h"
#include "analysis/RunTracker.h"
#include "engine/SimState.h"
#include "runs/Run.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rd::runs {

// A watched run is checked every so many steps; --until steady stops it once the checks
// find it converged (see analysis::TrackerLimits for the tolerance and the checks in a row).
inline constexpr std::int32_t kWatchEvery = 100;

// A uniform steady state of the run's settings and its class (analysis::className).
struct StateFinding {
    double u = NAN, v = NAN;
    std::string kind;
};

struct RunFindings {
    bool watched = false; // false: the run was not tracked and nothing below is known
    analysis::RunState state = analysis::RunState::StillChanging;
    std::int32_t steps = 0; // the steps taken; the failing iteration after an arithmetic error
    bool stoppedEarly = false; // --until steady ended it before --steps
    // The steady state the prediction is about, its class, and the wavelength in cells when
    // it is Turing-unstable (NaN otherwise); empty class when there is nothing to analyse.
    // It is the first of `qualifying`.
    double stateU = NAN, stateV = NAN;
    std::string predictedClass;
    double predicted = NAN;
    // The class of the settings as a point of the maps ("bistable", "turing": see
    // analysis::pointClassWord; empty when there is nothing to analyse) and the states that
    // give it that class, saddles aside, the one the prediction is about first
    // (analysis::featuredStates).
    std::string pointClass;
    std::vector<StateFinding> qualifying;
    // The state the final field's means of u and v lie nearest to (analysis::nearestFeatured)
    // of all states, saddles aside: the one the run ended at, whether it gives the settings
    // their class or not; u and v NaN when there is no final field or no final v to compare.
    StateFinding endedNear;
    bool endedNearQualifying = false; // it is one of `qualifying`
    // The final field of u: its dominant wavelength in cells (infinite for a flat field: a
    // contrast within the rounding of its values, see analysis::flatness) and max - min; NaN
    // when the run ended by an arithmetic error (the wavelength also when u died out).
    double measured = NAN;
    double contrast = NAN;
};

// Follows one run without touching it: the state is only read.
class RunWatch {
public:
    // The run as prepared, before its first step, with its initial field of u.
    RunWatch(const Prepared& run, std::span<const float> u, bool untilSteady);
    // After step n (counted from 1); true when --until steady wants the run to end here.
    bool afterStep(std::int32_t n, std::span<const float> u);
    // The findings after the last step taken, with the final fields; without v the state
    // the run ended nearest to is not known.
    RunFindings finish(std::int32_t steps, std::span<const float> u, std::span<const float> v = {});
    // The findings of a run that failed in iteration `iteration`.
    RunFindings failed(std::int32_t iteration);
    // The checks so far find the run converged (or settled extinct).
    bool settled() const { return tracker_.settled(); }

private:
    analysis::RunTracker tracker_;
    RunFindings findings_;
    std::vector<analysis::Prediction> predictions_; // every uniform state
    analysis::FeaturedStates featured_;
    int n_;
    bool oneD_, untilSteady_;
    std::int32_t observed_ = 0;
};

} // namespace rd::runs
