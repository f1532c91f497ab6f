#include "engine/TypedModel.h"

#include "engine/FpStatus.h"
#include "engine/TypedCells.h"

#include <cmath>
#include <stdexcept>

namespace rd {

namespace {

// A model is plain data a caller may put together itself: a wrong count of values would
// write past the register file.
const typed::Program& checked(const TypedModel& model)
{
    if (!model.program || model.values.size() != model.program->parameters.size())
        throw std::invalid_argument("a typed model needs one value for each of its parameters");
    return *model.program;
}

} // namespace

TypedModel bindTypedModel(std::string name, std::shared_ptr<const typed::Program> program,
    std::vector<float> values, bool clamp)
{
    TypedModel model { std::move(name), std::move(program), std::move(values), clamp };
    checked(model);
    return model;
}

std::vector<float> initialRegisters(const TypedModel& model)
{
    const typed::Program& p = checked(model);
    std::vector<float> regs(p.registerCount, 0.0f);
    std::copy(model.values.begin(), model.values.end(), regs.begin() + 2);
    std::copy(p.literals.begin(), p.literals.end(), regs.begin() + p.firstLiteral());
    return regs;
}

void typedRates(
    const TypedModel& model, float gain, float u, float v, float& synUout, float& synVout)
{
    std::vector<float> regs = initialRegisters(model);
    fp::clearFlags();
    typed::cells::rates(*model.program, regs.data(), gain, u, v, synUout, synVout);
}

namespace {

// A value with its partial derivatives in u and v.
struct Dual {
    double x = 0, du = 0, dv = 0;
};

Dual scaled(const Dual& a, double x, double factor)
{
    return { x, a.du * factor, a.dv * factor };
}

Dual run(typed::Op op, const Dual& a, const Dual& b)
{
    using typed::Op;
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

} // namespace

RateDerivatives typedDerivatives(const TypedModel& model, double u, double v)
{
    const typed::Program& p = checked(model);
    std::vector<Dual> regs(p.registerCount);
    regs[typed::kRegU] = { u, 1.0, 0.0 };
    regs[typed::kRegV] = { v, 0.0, 1.0 };
    for (std::size_t k = 0; k < model.values.size(); ++k)
        regs[2 + k].x = static_cast<double>(model.values[k]);
    for (std::size_t k = 0; k < p.literals.size(); ++k)
        regs[p.firstLiteral() + k].x = static_cast<double>(p.literals[k]);
    for (const typed::Instr& in : p.code)
        regs[in.dst] = run(in.op, regs[in.a], regs[in.b]);
    const Dual& f = regs[p.fReg];
    const Dual& g = regs[p.gReg];
    return { f.x, g.x, f.du, f.dv, g.du, g.dv };
}

} // namespace rd
