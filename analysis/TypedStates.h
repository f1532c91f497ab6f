// The uniform steady states of a typed model: every zero of both rates inside the scheme's
// box, found by subdivision with a sound exclusion test (TypedStates.cpp tells how).
#pragma once

#include "analysis/SteadyStates.h"

#include <array>
#include <cstddef>

namespace rd::analysis {

// The zeros before they are checked and classified (settleStates). `complete` is false when
// the search gave up before it had covered the whole box (a curve of zeros, such as a rate
// that is 0 everywhere, cannot be isolated) or found more zeros than a list holds.
struct TypedZeros {
    std::array<StateCandidate, kMaxSteadyStates> at {};
    std::size_t count = 0;
    bool complete = true;
};

TypedZeros typedZeros(const Scheme& s);

// How finely the box is split before two zeros count as one: 2^-kResolutionBits of each of
// its sides. Zeros this close, and the two halves of a double root, come out as one zero
// marked multiple (a fold).
inline constexpr int kResolutionBits = 30;

} // namespace rd::analysis
