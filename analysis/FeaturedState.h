// Which of a point's uniform states an analysis is about: the states that give the point its
// class, by the precedence of the parameter maps (Stability.h), saddles aside; and which of
// them a run ended nearest to.
#pragma once

#include "analysis/Prediction.h"
#include "analysis/Stability.h"

#include <array>
#include <cmath>
#include <span>

namespace rd::analysis {

// A saddle: the uniform Jacobian has a negative determinant (a fold, a double root, is none).
// It is the separatrix between two other states' basins; a field passes it, never ends there.
bool isSaddle(const SteadyState& s);

// What the precedence needs to know of one state.
struct StateVerdict {
    StateClass kind = StateClass::Stable;
    bool saddle = false;
    double rho = 0; // the largest growth factor per step of any grid mode
    double u = 0;
};

StateVerdict verdictOf(const Prediction& p);

// The class of a point and the states that give it that class, as indices into the states
// passed: the Turing-unstable ones when the point is Turing-unstable, the stable ones when it
// is bistable or stable, and so on. The first is the one to show: for a Turing-unstable
// point the fastest-growing state (the earlier one on a tie), otherwise the first away from
// u = 0, which says more than the trivial state. Saddles are left out unless every state is
// one. At most kMaxPointStates are listed; the class counts every state.
struct FeaturedStates {
    PointClass kind = PointClass::NoState;
    int count = 0;
    std::array<int, kMaxPointStates> index {};
    int first() const { return count > 0 ? index[0] : -1; }
    bool contains(int i) const;
};

FeaturedStates featuredStates(std::span<const StateVerdict> states);
FeaturedStates featuredStates(std::span<const Prediction> predictions);

// The mean of a field's cells, in double; NaN for an empty field.
double fieldMean(std::span<const float> field);

// Of the featured states, the one nearest to a run's final means of u and v. Each species is
// measured against the largest |value| any state has of it (1 where all are 0), so that
// neither outweighs the other by its units; -1 when no state is featured.
struct NearestState {
    int index = -1;
    double distance = INFINITY; // in those units
};
NearestState nearestFeatured(std::span<const Prediction> predictions,
    const FeaturedStates& featured, double meanU, double meanV);

} // namespace rd::analysis
