#include "engine/TypedDual.h"

#include <cmath>

namespace rd::typed {

namespace {

Dual scaled(const Dual& a, double x, double factor)
{
    return { x, a.du * factor, a.dv * factor };
}

} // namespace

Dual dualOperation(Op op, const Dual& a, const Dual& b)
{
    switch (op) {
    case Op::Add:
        return { a.x + b.x, a.du + b.du, a.dv + b.dv };
    case Op::Sub:
        return { a.x - b.x, a.du - b.du, a.dv - b.dv };
    case Op::Mul:
        return { a.x * b.x, a.du * b.x + a.x * b.du, a.dv * b.x + a.x * b.dv };
    case Op::Div: {
        const double q = a.x / b.x;
        return { q, (a.du - q * b.du) / b.x, (a.dv - q * b.dv) / b.x };
    }
    case Op::Neg:
        return { -a.x, -a.du, -a.dv };
    case Op::Sqrt: {
        const double r = std::sqrt(a.x);
        return scaled(a, r, 0.5 / r);
    }
    case Op::Exp: {
        const double e = std::exp(a.x);
        return scaled(a, e, e);
    }
    case Op::Log:
        return scaled(a, std::log(a.x), 1.0 / a.x);
    case Op::Abs:
        return scaled(a, std::fabs(a.x), a.x > 0 ? 1.0 : (a.x < 0 ? -1.0 : 0.0));
    case Op::Tanh: {
        const double t = std::tanh(a.x);
        return scaled(a, t, 1.0 - t * t);
    }
    case Op::Min:
    case Op::Max: {
        const double m = op == Op::Min ? std::fmin(a.x, b.x) : std::fmax(a.x, b.x);
        const bool first = op == Op::Min ? !(b.x < a.x) : !(b.x > a.x);
        const Dual& chosen = std::isnan(b.x) || (first && !std::isnan(a.x)) ? a : b;
        return { m, chosen.du, chosen.dv };
    }
    }
    return a;
}

} // namespace rd::typed
