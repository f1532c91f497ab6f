// The linearised view of one run: a model's constants and the step's own coefficients, taken
// from the settings intake so that they are the program's values, widened to double.
#pragma once

#include "engine/SimState.h"
#include "engine/TypedModel.h"
#include "settings/Intake.h"
#include "settings/ModelDescription.h"

#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace rd::analysis {

struct Scheme {
    Model model = Model::GiererMeinhardt; // unused when `typed` is set
    bool oneD = false;
    int n = 0; // cells per side
    double kA = 0, kB = 0, kC = 0;
    // Scalings of the unscaled rates: the u rate of the Oregonator is also divided by kC.
    double gainU = 0, gainV = 0;
    double cu = 0, cv = 0, su = 0, sv = 0;
    double uMax = 0;
    // A typed model in place of the built-in model and its constants: the rates, their
    // derivatives and the states come from its compiled program.
    std::shared_ptr<const TypedModel> typed;
    // Where the uniform states lie: u >= 0, v >= 0 for the built-ins; a typed model's states
    // are searched for in a finite box.
    AnalysisBounds box { 0.0, INFINITY, 0.0, INFINITY };
    bool isTyped() const { return typed != nullptr; }
    // Neighbours of a cell: 4 in 2D, 2 in 1D.
    double neighbours() const { return oneD ? 2.0 : 4.0; }
    // The most negative Laplacian eigenvalue of the grid.
    double lambdaMin() const { return oneD ? -4.0 : -8.0; }
};

// The values a run's state holds after the intake.
Scheme schemeFromState(Model model, bool oneD, const SimState& state);

// The model's name as a reader sees it: "Gierer-Meinhardt", or the typed model's own.
std::string modelDisplayName(const Scheme& s);

// The same for a typed model (its values bound, the state's settings through the intake): the
// step scales both rates by the state's reactGain. States are searched for in `bounds`, by
// default 0 <= u <= uMax and 0 <= v <= vMax (uMax or vMax negative: from it to 0). Throws
// std::invalid_argument for a model without its values or bounds that are not finite with
// low < high.
Scheme schemeFromState(std::shared_ptr<const TypedModel> model, bool oneD, const SimState& state,
    std::optional<AnalysisBounds> bounds = std::nullopt);
Scheme schemeFromState(const TypedModel& model, bool oneD, const SimState& state,
    std::optional<AnalysisBounds> bounds = std::nullopt);

// Runs the intake on the texts with the step sizes of the engine.
std::variant<Scheme, IntakeError> schemeFromIntake(const IntakeInput& input);

// The unscaled rates f(u, v), g(u, v) and their analytic derivatives, in double; a typed
// model's from its program, differentiated exactly (typedDerivatives' rule).
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

// Every homogeneous state in the scheme's box where both unscaled rates vanish, ascending in u
// (SteadyStates.h: how they are found, and the same without allocation).
std::vector<SteadyState> steadyStates(const Scheme& s);

} // namespace rd::analysis
