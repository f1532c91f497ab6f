#include "engine/TypedModel.h"

#include "engine/FpStatus.h"
#include "engine/TypedCells.h"
#include "engine/TypedDual.h"

#include <cmath>
#include <stdexcept>

namespace rd {

// A model is plain data a caller may put together itself: a wrong count of values would
// write past the register file.
const typed::Program& checkedProgram(const TypedModel& model)
{
    if (!model.program || model.values.size() != model.program->parameters.size())
        throw std::invalid_argument("a typed model needs one value for each of its parameters");
    return *model.program;
}

TypedModel bindTypedModel(std::string name, std::shared_ptr<const typed::Program> program,
    std::vector<float> values, bool clamp)
{
    TypedModel model { std::move(name), std::move(program), std::move(values), clamp };
    checkedProgram(model);
    return model;
}

std::vector<float> initialRegisters(const TypedModel& model)
{
    const typed::Program& p = checkedProgram(model);
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

RateDerivatives typedDerivatives(const TypedModel& model, double u, double v)
{
    const typed::Program& p = checkedProgram(model);
    std::vector<typed::Dual> regs(p.registerCount);
    regs[typed::kRegU] = { u, 1.0, 0.0 };
    regs[typed::kRegV] = { v, 0.0, 1.0 };
    for (std::size_t k = 0; k < model.values.size(); ++k)
        regs[2 + k].x = static_cast<double>(model.values[k]);
    for (std::size_t k = 0; k < p.literals.size(); ++k)
        regs[p.firstLiteral() + k].x = static_cast<double>(p.literals[k]);
    for (const typed::Instr& in : p.code)
        regs[in.dst] = typed::dualOperation(in.op, regs[in.a], regs[in.b]);
    const typed::Dual& f = regs[p.fReg];
    const typed::Dual& g = regs[p.gReg];
    return { f.x, g.x, f.du, f.dv, g.du, g.dv };
}

} // namespace rd
