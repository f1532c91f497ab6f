// Forward-mode differentiation of a typed program: each operation on a value and its partial
// derivatives in u and v, in double. The one rule both typedDerivatives and the analysis's
// point evaluations apply, so that their numbers are the same.
#pragma once

#include "engine/TypedProgram.h"

namespace rd::typed {

// A value with its partial derivatives in u and v.
struct Dual {
    double x = 0, du = 0, dv = 0;
};

// The operation on duals: the result in double (each function the C library's double
// function, not rounded to single) and its derivatives by the chain rule. abs'(0) = 0; min
// and max follow the operand they return (the first on a tie).
Dual dualOperation(Op op, const Dual& a, const Dual& b);

} // namespace rd::typed
