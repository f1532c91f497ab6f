// The compiled rates over a box in affine forms (Affine.h). Each nonlinear operation on
// values that vary over the box takes the next noise symbol, in program order; operations
// on constants and products with a constant are linear and take none.
#include "analysis/TypedEvaluation.h"

namespace rd::analysis {

namespace {

using typed::Instr;
using typed::Op;

struct Step {
    int& next; // the next free symbol; kNoiseSymbols when none is left
    BoxForms& flags;
    int take() { return next < kNoiseSymbols ? next++ : -1; }
};

bool finite(const Interval& r)
{
    return std::isfinite(r.lo) && std::isfinite(r.hi);
}

Affine reciprocal(const Affine& b, Step& step)
{
    const Interval r = affine::range(b);
    if (r.lo > 0.0 && finite(r))
        return affine::reciprocalPositive(b, r.lo, r.hi, step.take());
    if (r.hi < 0.0 && finite(r))
        return affine::negate(
            affine::reciprocalPositive(affine::negate(b), -r.hi, -r.lo, step.take()));
    if (r.lo == 0.0 && r.hi == 0.0) {
        step.flags.nowhere = true;
        return affine::entire();
    }
    step.flags.everywhere = step.flags.everywhere && (r.lo > 0.0 || r.hi < 0.0);
    return affine::fromInterval(Interval::point(1.0) / r);
}

Affine product(const Affine& a, bool aFixed, const Affine& b, bool bFixed, Step& step)
{
    // A constant known exactly scales the other value: linear, no new symbol.
    if (aFixed && a.err == 0.0)
        return affine::linearised(b, a.x0, 0.0, 0.0, -1);
    if (bFixed && b.err == 0.0)
        return affine::linearised(a, b.x0, 0.0, 0.0, -1);
    return affine::multiply(a, b, aFixed || bFixed ? -1 : step.take());
}

Affine function(Op op, const Affine& a, Step& step)
{
    const Interval r = affine::range(a);
    switch (op) {
    case Op::Sqrt:
        if (r.hi < 0.0) {
            step.flags.nowhere = true;
            return affine::entire();
        }
        step.flags.everywhere = step.flags.everywhere && r.lo >= 0.0;
        if (!finite(r) || r.hi == 0.0)
            return affine::fromInterval(sqrt(r));
        return affine::sqrtOf(a, std::max(r.lo, 0.0), r.hi, step.take());
    case Op::Log:
        if (r.hi <= 0.0) {
            step.flags.nowhere = true;
            return affine::entire();
        }
        step.flags.everywhere = step.flags.everywhere && r.lo > 0.0;
        if (!finite(r) || r.lo <= 0.0)
            return affine::fromInterval(log(r));
        return affine::logOf(a, r.lo, r.hi, step.take());
    case Op::Exp:
        return finite(r) ? affine::expOf(a, r.lo, r.hi, step.take()) : affine::fromInterval(exp(r));
    case Op::Tanh:
        return finite(r) ? affine::tanhOf(a, r.lo, r.hi, step.take())
                         : affine::fromInterval(tanh(r));
    case Op::Abs:
        return finite(r) ? affine::absOf(a, r.lo, r.hi, step.take()) : affine::fromInterval(abs(r));
    default:
        return a;
    }
}

// min and max through |a - b|: (a + b -+ |a - b|) / 2, which keeps their symbols.
Affine extreme(Op op, const Affine& a, const Affine& b, Step& step)
{
    const Affine gap = function(Op::Abs, affine::add(a, b, -1.0), step);
    const Affine sum = affine::add(affine::add(a, b), gap, op == Op::Min ? -1.0 : 1.0);
    return affine::linearised(sum, 0.5, 0.0, 0.0, -1);
}

Affine apply(
    const Instr& in, const Affine& a, bool aFixed, const Affine& b, bool bFixed, Step& step)
{
    switch (in.op) {
    case Op::Add:
        return affine::add(a, b);
    case Op::Sub:
        return affine::add(a, b, -1.0);
    case Op::Neg:
        return affine::negate(a);
    case Op::Mul:
        if (in.a == in.b)
            return aFixed ? affine::multiply(a, a, -1) : affine::square(a, step.take());
        return product(a, aFixed, b, bFixed, step);
    case Op::Div: {
        const Affine r = reciprocal(b, step);
        return product(a, aFixed, r, bFixed, step);
    }
    case Op::Min:
    case Op::Max:
        return extreme(in.op, a, b, step);
    case Op::Sqrt:
    case Op::Exp:
    case Op::Log:
    case Op::Abs:
    case Op::Tanh:
        return function(in.op, a, step);
    }
    return a;
}

} // namespace

AffineEvaluation::AffineEvaluation(const TypedModel& model)
    : program_(rd::checkedProgram(model))
    , firstVarying_(typed_registers::firstVarying(program_))
    , regs_(program_.registerCount)
{
    int none = kNoiseSymbols;
    Step step { none, constants_ };
    typed_registers::prepare(
        model, regs_, [](double x) { return affine::constant(x); },
        [&](const Instr& in, RegisterFile<Affine>& r) {
            r[in.dst] = apply(in, r[in.a], true, r[in.b], true, step);
        });
}

BoxForms AffineEvaluation::forms(const Interval& u, const Interval& v)
{
    BoxForms out = constants_;
    if (out.nowhere)
        return out;
    int next = 2;
    Step step { next, out };
    regs_[typed::kRegU] = affine::variable(u, 0);
    regs_[typed::kRegV] = affine::variable(v, 1);
    const auto fixed = [&](typed::Reg r) { return r >= 2 && r < firstVarying_; };
    for (const Instr& in : program_.code) {
        if (in.dst < firstVarying_)
            continue;
        regs_[in.dst] = apply(in, regs_[in.a], fixed(in.a), regs_[in.b], fixed(in.b), step);
        if (out.nowhere)
            return out;
    }
    out.f = regs_[program_.fReg];
    out.g = regs_[program_.gReg];
    return out;
}

} // namespace rd::analysis
