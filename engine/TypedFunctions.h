// The functions of the typed models' language: the C library's double function of the
// single-precision argument, rounded once to single. Every evaluator calls these, on every
// path, so a function's result is the same wherever it is computed. Internal linkage:
// kernel units built for wider instruction sets keep their own copies.
#pragma once

#include "engine/TypedProgram.h"

#include <cmath>

namespace rd::typed {
namespace {

inline float callFunction(Op op, float x)
{
    const double d = static_cast<double>(x);
    switch (op) {
    case Op::Sqrt:
        return static_cast<float>(std::sqrt(d));
    case Op::Exp:
        return static_cast<float>(std::exp(d));
    case Op::Log:
        return static_cast<float>(std::log(d));
    case Op::Abs:
        return static_cast<float>(std::fabs(d));
    case Op::Tanh:
        return static_cast<float>(std::tanh(d));
    default:
        return x;
    }
}

inline float callFunction2(Op op, float x, float y)
{
    const double a = static_cast<double>(x), b = static_cast<double>(y);
    return static_cast<float>(op == Op::Min ? std::fmin(a, b) : std::fmax(a, b));
}

} // namespace
} // namespace rd::typed
