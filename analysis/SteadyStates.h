// The uniform steady states of a model without allocation, for callers that ask for millions
// of points (parameter maps); steadyStates() in Scheme.h is the same list as a vector.
#pragma once

#include "analysis/Scheme.h"

#include <array>
#include <span>

namespace rd::analysis {

// Gierer-Meinhardt has at most five states (a quintic), the other models three or fewer; a
// typed model with more in its box has them listed up to this many, and the list incomplete.
inline constexpr int kMaxSteadyStates = 8;

struct SteadyStateList {
    std::array<SteadyState, kMaxSteadyStates> at {};
    int count = 0;
    // Every state in the box is listed. False only for a typed model whose zeros could not
    // all be isolated (a curve of them) or are more than the list holds (TypedStates.h).
    bool complete = true;
    const SteadyState* begin() const { return at.data(); }
    const SteadyState* end() const { return at.data() + count; }
    std::span<const SteadyState> span() const { return { begin(), end() }; }
};

// A zero of both rates before it is checked and classified as a state.
struct StateCandidate {
    double u, v;
    bool multiple = false; // a double root: a fold whatever the Jacobian's rounding says
};

// Every homogeneous state in the scheme's box (for the built-ins u >= 0 and v >= 0) where both
// unscaled rates vanish, ascending in u. Gierer-Meinhardt's u solves a quintic and the
// Oregonator's a quadratic beside u = 0; every real root is isolated (PolynomialRoots.h),
// none found by a scan. A typed model's are found by subdivision (TypedStates.cpp).
SteadyStateList steadyStateList(const Scheme& s);

// The states among the candidates: those in the box with finite rates (not at a pole),
// with their Jacobians, ascending in u, a fold marked where the root is multiple, the
// Jacobian singular, or another state lies within the fold distance. At most
// kMaxSteadyStates are kept.
SteadyStateList settleStates(const Scheme& s, std::span<const StateCandidate> candidates);

} // namespace rd::analysis
