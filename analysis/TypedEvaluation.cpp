#include "analysis/TypedEvaluation.h"

namespace rd::analysis {

namespace {

using typed::Instr;
using typed::Op;

// Where an operation's operand leaves its domain in part of the box.
bool partlyOutside(Op op, const Interval& a, const Interval& b)
{
    switch (op) {
    case Op::Div:
        return b.lo <= 0.0 && b.hi >= 0.0;
    case Op::Sqrt:
        return a.lo < 0.0;
    case Op::Log:
        return a.lo <= 0.0;
    default:
        return false;
    }
}

// One operation on intervals. `same`: both operands are one register (u*u is a square).
Interval apply(Op op, const Interval& a, const Interval& b, bool same)
{
    switch (op) {
    case Op::Add:
        return a + b;
    case Op::Sub:
        return a - b;
    case Op::Mul:
        return same ? square(a) : a * b;
    case Op::Div:
        return a / b;
    case Op::Neg:
        return -a;
    case Op::Sqrt:
        return sqrt(a);
    case Op::Exp:
        return exp(a);
    case Op::Log:
        return log(a);
    case Op::Abs:
        return abs(a);
    case Op::Tanh:
        return tanh(a);
    case Op::Min:
        return min(a, b);
    case Op::Max:
        return max(a, b);
    }
    return a;
}

// The derivatives of an operation's result from its operands' (the chain rule with every
// factor an enclosure over the box). A kink (abs at 0, min and max where the operands
// cross) takes the hull of the slopes on its sides.
IntervalDual apply(Op op, const IntervalDual& a, const IntervalDual& b, bool same)
{
    const Interval x = apply(op, a.x, b.x, same);
    const auto chain = [&](const Interval& factor) -> IntervalDual {
        return { x, a.du * factor, a.dv * factor };
    };
    switch (op) {
    case Op::Add:
        return { x, a.du + b.du, a.dv + b.dv };
    case Op::Sub:
        return { x, a.du - b.du, a.dv - b.dv };
    case Op::Mul:
        if (same)
            return chain(Interval { 2.0 * a.x.lo, 2.0 * a.x.hi });
        return { x, a.du * b.x + a.x * b.du, a.dv * b.x + a.x * b.dv };
    case Op::Div:
        return { x, (a.du - x * b.du) / b.x, (a.dv - x * b.dv) / b.x };
    case Op::Neg:
        return { x, -a.du, -a.dv };
    case Op::Sqrt:
        return chain(Interval::point(0.5) / x);
    case Op::Exp:
        return chain(x);
    case Op::Log:
        return { x, a.du / a.x, a.dv / a.x };
    case Op::Abs:
        return chain(a.x.lo >= 0.0 ? Interval { 1.0, 1.0 }
                : a.x.hi <= 0.0    ? Interval { -1.0, -1.0 }
                                   : Interval { -1.0, 1.0 });
    case Op::Tanh:
        return chain(Interval::point(1.0) - square(x));
    case Op::Min:
    case Op::Max: {
        // Which operand the result certainly follows, if either.
        const bool aLow = a.x.hi <= b.x.lo, bLow = b.x.hi < a.x.lo;
        const bool takeA = op == Op::Min ? aLow : bLow;
        const bool takeB = op == Op::Min ? bLow : aLow;
        if (takeA)
            return { x, a.du, a.dv };
        if (takeB)
            return { x, b.du, b.dv };
        return { x, hull(a.du, b.du), hull(a.dv, b.dv) };
    }
    }
    return a;
}

} // namespace

PointEvaluation::PointEvaluation(const TypedModel& model)
    : program_(rd::checkedProgram(model))
    , firstVarying_(typed_registers::firstVarying(program_))
    , regs_(program_.registerCount)
{
    typed_registers::prepare(
        model, regs_,
        [](double x) {
            return Dual { x, 0.0, 0.0 };
        },
        [](const Instr& in, RegisterFile<Dual>& r) {
            r[in.dst] = typed::dualOperation(in.op, r[in.a], r[in.b]);
        });
}

RateDerivatives PointEvaluation::at(double u, double v)
{
    regs_[typed::kRegU] = { u, 1.0, 0.0 };
    regs_[typed::kRegV] = { v, 0.0, 1.0 };
    for (const Instr& in : program_.code)
        if (in.dst >= firstVarying_)
            regs_[in.dst] = typed::dualOperation(in.op, regs_[in.a], regs_[in.b]);
    const Dual& f = regs_[program_.fReg];
    const Dual& g = regs_[program_.gReg];
    return { f.x, g.x, f.du, f.dv, g.du, g.dv };
}

BoxEvaluation::BoxEvaluation(const TypedModel& model)
    : program_(rd::checkedProgram(model))
    , firstVarying_(typed_registers::firstVarying(program_))
    , boxRegs_(program_.registerCount)
    , slopeRegs_(program_.registerCount)
{
    typed_registers::prepare(
        model, boxRegs_, [](double x) { return Interval::point(x); },
        [this](const Instr& in, RegisterFile<Interval>& r) {
            constants_.everywhere
                = constants_.everywhere && !partlyOutside(in.op, r[in.a], r[in.b]);
            r[in.dst] = apply(in.op, r[in.a], r[in.b], in.a == in.b);
            constants_.nowhere = constants_.nowhere || r[in.dst].isEmpty();
        });
    const Interval zero = Interval::point(0.0);
    for (std::size_t k = 2; k < firstVarying_; ++k)
        slopeRegs_[k] = { boxRegs_[k], zero, zero };
}

BoxRates BoxEvaluation::rates(const Interval& u, const Interval& v)
{
    BoxRates r = constants_;
    if (r.nowhere)
        return r;
    boxRegs_[typed::kRegU] = u;
    boxRegs_[typed::kRegV] = v;
    for (const Instr& in : program_.code) {
        if (in.dst < firstVarying_)
            continue;
        const Interval& a = boxRegs_[in.a];
        const Interval& b = boxRegs_[in.b];
        r.everywhere = r.everywhere && !partlyOutside(in.op, a, b);
        const Interval x = apply(in.op, a, b, in.a == in.b);
        if (x.isEmpty()) {
            r.nowhere = true;
            return r;
        }
        boxRegs_[in.dst] = x;
    }
    r.f = boxRegs_[program_.fReg];
    r.g = boxRegs_[program_.gReg];
    return r;
}

BoxRates BoxEvaluation::ratesAndJacobian(const Interval& u, const Interval& v, BoxJacobian& j)
{
    BoxRates r = constants_;
    if (r.nowhere)
        return r;
    const Interval zero = Interval::point(0.0), one = Interval::point(1.0);
    slopeRegs_[typed::kRegU] = { u, one, zero };
    slopeRegs_[typed::kRegV] = { v, zero, one };
    for (const Instr& in : program_.code) {
        if (in.dst < firstVarying_)
            continue;
        const IntervalDual& a = slopeRegs_[in.a];
        const IntervalDual& b = slopeRegs_[in.b];
        r.everywhere = r.everywhere && !partlyOutside(in.op, a.x, b.x);
        const IntervalDual x = apply(in.op, a, b, in.a == in.b);
        if (x.x.isEmpty()) {
            r.nowhere = true;
            return r;
        }
        slopeRegs_[in.dst] = x;
    }
    const IntervalDual& f = slopeRegs_[program_.fReg];
    const IntervalDual& g = slopeRegs_[program_.gReg];
    r.f = f.x;
    r.g = g.x;
    j = { f.du, f.dv, g.du, g.dv };
    return r;
}

} // namespace rd::analysis
