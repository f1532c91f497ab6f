// A typed model: compiled rates bound to parameter values, held by a run beside the
// built-in Model. The step (TypedStep.h) reads everything else from SimState as for the
// built-ins: Du, Dv, cu, cv, su, sv, the scaling factor reactGain and the sizes.
#pragma once

#include "engine/TypedProgram.h"

#include <memory>
#include <string>
#include <vector>

namespace rd {

struct TypedModel {
    std::string name;
    // Shared: a sweep binds one compiled program to many parameter points.
    std::shared_ptr<const typed::Program> program;
    std::vector<float> values; // one per program->parameters, in that order
    bool clamp = true; // negative results become 0 after each step, as in the built-ins
};

// Binds a compiled program to values. This, the step and every function below throw
// std::invalid_argument when the count of values is not the count of parameters.
TypedModel bindTypedModel(std::string name, std::shared_ptr<const typed::Program> program,
    std::vector<float> values, bool clamp);

// The model's program; throws std::invalid_argument without one value for each parameter.
const typed::Program& checkedProgram(const TypedModel& model);
// The register file a program starts from: u and v 0, then the values, then the literals;
// results 0.
std::vector<float> initialRegisters(const TypedModel& model);

// The increments of one point, as the step computes them for a cell: f and g rounded to
// single, each then times gain (the state's reactGain) and rounded again. Clears the status
// flags first; a division by zero, an overflow or an invalid operation raises EngineError
// with synUout and synVout as far as written (f before g before the scaled values).
void typedRates(
    const TypedModel& model, float gain, float u, float v, float& synUout, float& synVout);

// f, g and their partial derivatives in u and v at a point, unscaled.
struct RateDerivatives {
    double f, g, fu, fv, gu, gv;
};

// The same program run in double precision with forward-mode automatic differentiation:
// every operation of the rules in the same order and grouping, on the same parameter and
// literal values (singles, widened exactly), but each result kept in double instead of
// rounded to single, and each function the C library's double function without the final
// rounding. So f and g are the real-valued rates the single-precision step rounds (to within
// double's rounding, not single's), and the derivatives are those of that real function
// itself, exact up to double rounding: no finite differences. At a point where a function is
// not differentiable the derivative of one side is taken: abs'(0) = 0, and min or max
// follows the operand it returns (the first on a tie). Division by zero and log(0) give
// infinities and NaNs here, not errors.
RateDerivatives typedDerivatives(const TypedModel& model, double u, double v);

} // namespace rd
