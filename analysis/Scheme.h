// The linearised view of one run: a model's constants and the step's own coefficients, taken
// from the settings intake so that they are the program's values, widened to double.
#pragma once

#include "engine/SimState.h"
#include "settings/Intake.h"

#include <array>
#include <variant>
#include <vector>

namespace rd::analysis {

struct Scheme {
    Model model = Model::GiererMeinhardt;
    bool oneD = false;
    int n = 0; // cells per side
    double kA = 0, kB = 0, kC = 0;
    // Scalings of the unscaled rates: the u rate of the Oregonator is also divided by kC.
    double gainU = 0, gainV = 0;
    double cu = 0, cv = 0, su = 0, sv = 0;
    double uMax = 0;
    // Neighbours of a cell: 4 in 2D, 2 in 1D.
    double neighbours() const { return oneD ? 2.0 : 4.0; }
    // The most negative Laplacian eigenvalue of the grid.
    double lambdaMin() const { return oneD ? -4.0 : -8.0; }
};

// The values a run's state holds after the intake.
Scheme schemeFromState(Model model, bool oneD, const SimState& state);

// Runs the intake on the texts with the step sizes of the engine.
std::variant<Scheme, IntakeError> schemeFromIntake(const IntakeInput& input);

// The unscaled rates f(u, v), g(u, v) and their analytic derivatives, in double.
struct Rates {
    double f, g;
};
struct Jacobian {
    double fu, fv, gu, gv;
    double det() const { return fu * gv - fv * gu; }
    double trace() const { return fu + gv; }
};

Rates unscaledRates(const Scheme& s, double u, double v);
Jacobian jacobianAt(const Scheme& s, double u, double v);

struct SteadyState {
    double u = 0, v = 0;
    Jacobian jacobian {};
    // Another state lies within a hair of this one, or the root is double: a fold.
    bool fold = false;
};

// Every homogeneous state with u >= 0 and v >= 0 where both unscaled rates vanish, ascending
// in u (SteadyStates.h: how they are found, and the same without allocation).
std::vector<SteadyState> steadyStates(const Scheme& s);

} // namespace rd::analysis
