// The compiled rates of a typed model as the analysis evaluates them: at a point in double
// with their derivatives, and over a box of (u, v) in outward-rounded interval arithmetic
// (Interval.h), alone or with an enclosure of the Jacobian over the box. The parameters,
// literals and the results that depend on neither u nor v are computed once, when an
// evaluation is made; nothing is allocated unless a program needs more than
// kInlineRegisters registers.
#pragma once

#include "analysis/Affine.h"
#include "analysis/Interval.h"
#include "engine/TypedDual.h"
#include "engine/TypedModel.h"

#include <array>
#include <cstddef>
#include <vector>

namespace rd::analysis {

inline constexpr std::size_t kInlineRegisters = 64;

// A register file on the stack when it fits.
template <class T> class RegisterFile {
public:
    explicit RegisterFile(std::size_t n)
    {
        if (n > inline_.size())
            heap_.resize(n);
        data_ = n > inline_.size() ? heap_.data() : inline_.data();
    }
    RegisterFile(const RegisterFile&) = delete;
    RegisterFile& operator=(const RegisterFile&) = delete;
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

private:
    std::array<T, kInlineRegisters> inline_;
    std::vector<T> heap_;
    T* data_;
};

namespace typed_registers {

// Registers below this hold parameters, literals and results of them alone (the compiler
// gives the per-cell results the registers from here on).
inline std::size_t firstVarying(const typed::Program& p)
{
    return p.registerCount - p.rowCount;
}

// The constants of a register file from the model's values, as `make` turns a double into
// a register; then the instructions on constants alone, once.
template <class T, class Make, class Run>
void prepare(const TypedModel& model, RegisterFile<T>& regs, Make make, Run run)
{
    const typed::Program& p = *model.program;
    for (std::size_t k = 0; k < model.values.size(); ++k)
        regs[2 + k] = make(static_cast<double>(model.values[k]));
    for (std::size_t k = 0; k < p.literals.size(); ++k)
        regs[p.firstLiteral() + k] = make(static_cast<double>(p.literals[k]));
    for (const typed::Instr& in : p.code)
        if (in.dst < firstVarying(p))
            run(in, regs);
}

} // namespace typed_registers

using typed::Dual;

// The rates and their derivatives at points by typedDerivatives' rule (typed::dualOperation),
// with the constant registers computed once, so the same numbers (TypedEvaluationTest).
class PointEvaluation {
public:
    explicit PointEvaluation(const TypedModel& model);
    RateDerivatives at(double u, double v);

private:
    const typed::Program& program_;
    std::size_t firstVarying_;
    RegisterFile<Dual> regs_;
};

// What the rates do over a box.
struct BoxRates {
    Interval f, g;
    // No point of the box has defined rates (a square root of negative numbers only, ...).
    bool nowhere = false;
    // Every point of the box has defined rates: no operation's operand reaches outside its
    // domain, so the rates are continuous there and the Jacobian's enclosure bounds their
    // slopes (a mean-value or Krawczyk argument needs this).
    bool everywhere = true;
    // Either rate certainly does not vanish in the box.
    bool excludesZero() const { return nowhere || f.excludesZero() || g.excludesZero(); }
};

struct BoxJacobian {
    Interval fu, fv, gu, gv;
};

struct IntervalDual {
    Interval x, du, dv;
};

class BoxEvaluation {
public:
    explicit BoxEvaluation(const TypedModel& model);
    // Enclosures of f and g over u x v.
    BoxRates rates(const Interval& u, const Interval& v);
    // The same with the Jacobian over the box, by forward differentiation in intervals.
    BoxRates ratesAndJacobian(const Interval& u, const Interval& v, BoxJacobian& j);

private:
    const typed::Program& program_;
    std::size_t firstVarying_;
    BoxRates constants_; // the domains of the operations on constants alone
    RegisterFile<Interval> boxRegs_;
    RegisterFile<IntervalDual> slopeRegs_;
};

// The rates over a box as affine forms (Affine.h) in the box's symbols u and v.
struct BoxForms {
    Affine f, g;
    bool nowhere = false; // as in BoxRates
    bool everywhere = true;
};

class AffineEvaluation {
public:
    explicit AffineEvaluation(const TypedModel& model);
    BoxForms forms(const Interval& u, const Interval& v);

private:
    const typed::Program& program_;
    std::size_t firstVarying_;
    BoxForms constants_;
    RegisterFile<Affine> regs_;
};

} // namespace rd::analysis
