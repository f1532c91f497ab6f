// The class of one point of a parameter map: every uniform steady state with its class, and
// the class of the point as a whole. Made to be called for millions of points: the fastest
// mode is searched next to the break points of the continuous growth rate, never by a scan.
#pragma once

#include "analysis/Prediction.h"
#include "analysis/SteadyStates.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

namespace rd::analysis {

// In order of precedence: a point takes the first class that applies to any of its states
// (bistable: more than one stable state). Saddles, states whose uniform Jacobian has a
// negative determinant, are left out unless every state is one: a saddle is the separatrix
// between other states' basins, never where a field ends, so its uniform growth says nothing
// of the pattern. A state keeps its own class (a saddle's is uniformly unstable).
enum class PointClass : std::int8_t {
    NumericallyUnstable,
    TuringUnstable,
    Oscillatory,
    UniformlyUnstable,
    Bistable,
    Marginal,
    Stable,
    NoState, // no uniform state with u >= 0 and v >= 0 (a typed model: in its box)
};
inline constexpr int kPointClassCount = 8;

// One word for tables: "numerically-unstable", "turing", ..., "no-state".
const char* pointClassWord(PointClass c);
// One word for a state's class: "numerically-unstable", "turing", "oscillatory",
// "uniformly-unstable", "marginal", "stable".
const char* stateClassWord(StateClass c);

struct PointState {
    double u = 0, v = 0;
    StateClass kind = StateClass::Stable;
    double rho = 0; // the largest growth factor per step of any grid mode
    int kx = 0, ky = 0; // the mode it belongs to (kx <= ky in 2D)
};

inline constexpr int kMaxPointStates = kMaxSteadyStates;

// The most uniform states a point of the model can have, by the degree of its steady-state
// equation: Schnakenberg's is linear; Gray-Scott's and the Oregonator's are a quadratic beside
// their state at u = 0; Gierer-Meinhardt's, with v = u^2, is a quintic in u. A map's table
// has this many states' columns, whatever its points.
constexpr int mostStates(Model model)
{
    switch (model) {
    case Model::Schnakenberg:
        return 1;
    case Model::GrayScott:
    case Model::Oregonator:
        return 3;
    case Model::GiererMeinhardt:
        break;
    }
    return 5;
}

// The same for a scheme: a typed model has as many states as its box holds, up to a list's.
inline int mostStates(const Scheme& s)
{
    return s.isTyped() ? kMaxPointStates : mostStates(s.model);
}

struct PointResult {
    PointClass kind = PointClass::NoState;
    // Of the Turing-unstable state that grows fastest: its wavelength in cells,
    // 2 (N - 1) / |k|, and its fastest grid mode. NaN and 0 for other classes.
    double wavelength = NAN;
    int kx = 0, ky = 0;
    int stateCount = 0;
    std::array<PointState, kMaxPointStates> states {};
    // Every state in the box is among them (SteadyStateList::complete).
    bool statesComplete = true;
};

enum class ModeSearch : std::int8_t {
    NearBreakPoints, // gridExtremes: the grid modes next to the continuous extremes
    EveryMode, // gridExtremesByScan: the reference
};

// `table` must be the scheme's grid (n >= 2).
PointResult classifyPoint(
    const Scheme& s, const ModeTable& table, ModeSearch search = ModeSearch::NearBreakPoints);
// The same for given states of the scheme (ascending in u, as steadyStateList gives them; at
// most kMaxPointStates, as many as a list holds: any beyond are left out).
PointResult classifyStates(const Scheme& s, const ModeTable& table,
    std::span<const SteadyState> states, ModeSearch search = ModeSearch::NearBreakPoints);

} // namespace rd::analysis
