// What the linear analysis says about each steady state: its class, the fastest grid mode,
// the wavelength and time scale it predicts, and the band of unstable wavelengths.
#pragma once

#include "analysis/Dispersion.h"

#include <cmath>
#include <string>
#include <vector>

namespace rd::analysis {

// A growth factor within this of 1 counts as neither growth nor decay.
inline constexpr double kMarginalTolerance = 1e-7;

enum class StateClass {
    Stable, // every mode decays
    TuringUnstable, // only non-uniform modes grow
    Oscillatory, // the uniform mode grows as a complex pair
    UniformlyUnstable, // the uniform mode grows without oscillating
    Marginal, // the largest growth factor is 1 within the tolerance, or the state is a fold
    NumericallyUnstable, // an eigenvalue below -1: the explicit step itself diverges
};

const char* className(StateClass c);

struct Prediction {
    SteadyState state;
    StateClass kind = StateClass::Stable;
    Amplification uniform {}; // the mode k = 0
    Extremes extremes {};
    // Every grid mode (both orders in 2D) with the fastest mode's eigenvalue.
    std::vector<std::pair<int, int>> fastestModes;
    double wavenumber = 0; // |k| of the fastest mode
    double wavelength = INFINITY; // cells: 2 (N - 1) / |k|
    double eFoldingSteps = INFINITY; // 1 / ln(rho) when the fastest mode grows
    std::vector<Band> bands; // lambda intervals where modes grow
};

// The class of a state from its uniform mode and its grid's extremes: the one rule behind
// every prediction and every point of a parameter map.
StateClass classify(const SteadyState& state, const Amplification& uniform, const Extremes& e);

// Needs a table of the scheme's grid (n >= 2).
Prediction predict(const Scheme& s, const SteadyState& state, const ModeTable& table);

// What a user should expect to see from a state of this kind, one short sentence.
std::string expectation(const Prediction& p, bool oneD);

} // namespace rd::analysis
