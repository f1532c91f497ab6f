// From the parsed rates to the straight-line program. Each operation of the text becomes
// one instruction, operands first and left before right, so the program performs exactly
// the operations the rules define, in their order. An operation that repeats one already
// compiled (same operation on the same operands, as u^2 in both rates) reuses its result:
// the same operation on the same values gives the same bits. Nothing is reordered,
// commuted or folded.
#include "engine/Quoted.h"
#include "engine/TypedTree.h"

#include <bit>
#include <limits>
#include <map>
#include <stdexcept>
#include <tuple>

namespace rd::typed {

namespace {

using tree::Node;

// Values before registers are assigned: u, v and the parameters, the literals, the results.
struct Value {
    enum class Kind : std::uint8_t { Fixed, Literal, Result } kind;
    std::uint32_t index; // Fixed: the register; Literal: its number; Result: unused
    bool uniform; // the same for every cell
    std::size_t lastUse = 0; // the last instruction reading it
};

struct Emitted {
    Op op;
    std::uint32_t dst, a, b;
};

constexpr std::size_t kForever = std::numeric_limits<std::size_t>::max();

class Compiler {
public:
    explicit Compiler(std::size_t parameterCount)
    {
        for (std::uint32_t r = 0; r < 2 + parameterCount; ++r)
            values_.push_back({ Value::Kind::Fixed, r, r >= 2 });
    }

    std::uint32_t compile(const Node& n)
    {
        switch (n.kind) {
        case Node::Kind::Literal:
            return literal(n.value);
        case Node::Kind::Register:
            return n.reg;
        case Node::Kind::Apply: {
            const std::uint32_t a = compile(*n.a);
            const std::uint32_t b = isBinary(n.op) ? compile(*n.b) : a;
            return emit(n.op, a, b);
        }
        case Node::Kind::Power: {
            const std::uint32_t base = compile(*n.a);
            std::uint32_t r = base;
            for (int k = 1; k < n.exponent; ++k)
                r = emit(Op::Mul, r, base);
            return r;
        }
        }
        throw std::logic_error("unknown node");
    }

    std::size_t codeSize() const { return code_.size(); }

    Program finish(
        std::vector<std::string> parameters, std::size_t fEnd, std::uint32_t f, std::uint32_t g) &&
    {
        Program p;
        p.parameters = std::move(parameters);
        p.literals = literalValues_;
        p.fEnd = fEnd;
        for (std::size_t n = 0; n < code_.size(); ++n)
            for (std::uint32_t x : { code_[n].a, code_[n].b })
                values_[x].lastUse = n;
        values_[f].lastUse = values_[g].lastUse = kForever;
        assignRegisters(p);
        for (const Emitted& e : code_) {
            const Instr ins { e.op, reg_[e.dst], reg_[e.a], reg_[e.b] };
            p.code.push_back(ins);
            if (values_[e.dst].uniform)
                p.uniformCode.push_back(ins);
            else
                p.blockCode.push_back({ e.op, operand(e.a), operand(e.b), row_[e.dst] });
        }
        p.fReg = reg_[f];
        p.gReg = reg_[g];
        p.fOperand = operand(f);
        p.gOperand = operand(g);
        return p;
    }

private:
    std::vector<Value> values_;
    std::vector<Emitted> code_;
    std::vector<float> literalValues_;
    std::map<std::uint32_t, std::uint32_t> literalsByBits_;
    std::map<std::tuple<Op, std::uint32_t, std::uint32_t>, std::uint32_t> done_;
    std::vector<Reg> reg_; // by value
    std::vector<Reg> row_; // by value, for results computed per block
    std::size_t rows_ = 0;

    std::uint32_t literal(float x)
    {
        const auto [it, added] = literalsByBits_.emplace(
            std::bit_cast<std::uint32_t>(x), static_cast<std::uint32_t>(values_.size()));
        if (added) {
            values_.push_back(
                { Value::Kind::Literal, static_cast<std::uint32_t>(literalValues_.size()), true });
            literalValues_.push_back(x);
        }
        return it->second;
    }

    std::uint32_t emit(Op op, std::uint32_t a, std::uint32_t b)
    {
        const auto [it, added]
            = done_.emplace(std::tuple { op, a, b }, static_cast<std::uint32_t>(values_.size()));
        if (!added)
            return it->second;
        values_.push_back({ Value::Kind::Result, 0, values_[a].uniform && values_[b].uniform });
        code_.push_back({ op, it->second, a, b });
        return it->second;
    }

    // Fixed registers, then the literals, then one register for each uniform result, then
    // the per-cell results, which share registers (and scratch rows) once their last reader
    // is done. A result's register is taken before its operands' are freed, so it never
    // shares one with them.
    void assignRegisters(Program& p)
    {
        reg_.assign(values_.size(), 0);
        row_.assign(values_.size(), 0);
        const std::size_t fixed = 2 + p.parameters.size();
        std::size_t next = fixed + literalValues_.size();
        for (std::size_t x = 0; x < values_.size(); ++x) {
            if (values_[x].kind == Value::Kind::Fixed)
                reg_[x] = static_cast<Reg>(values_[x].index);
            else if (values_[x].kind == Value::Kind::Literal)
                reg_[x] = static_cast<Reg>(fixed + values_[x].index);
            else if (values_[x].uniform)
                reg_[x] = static_cast<Reg>(next++);
        }
        const std::size_t firstRow = next;
        std::vector<Reg> freeRows;
        for (std::size_t n = 0; n < code_.size(); ++n) {
            const Emitted& e = code_[n];
            if (!values_[e.dst].uniform) {
                Reg row;
                if (freeRows.empty()) {
                    row = static_cast<Reg>(rows_++);
                } else {
                    row = freeRows.back();
                    freeRows.pop_back();
                }
                row_[e.dst] = row;
                reg_[e.dst] = static_cast<Reg>(firstRow + row);
            }
            // An operand read twice (u*u, or the one operand of a function) is freed once.
            const std::uint32_t operands[] = { e.a, e.b };
            for (int k = 0; k < (e.a == e.b ? 1 : 2); ++k) {
                const Value& v = values_[operands[k]];
                if (v.kind == Value::Kind::Result && !v.uniform && v.lastUse == n)
                    freeRows.push_back(row_[operands[k]]);
            }
        }
        if (firstRow + rows_ > std::numeric_limits<Reg>::max())
            throw std::length_error("the rates need more registers than the engine has");
        p.registerCount = firstRow + rows_;
        p.rowCount = rows_;
    }

    Operand operand(std::uint32_t x) const
    {
        if (x == kRegU)
            return { Operand::Kind::U, 0 };
        if (x == kRegV)
            return { Operand::Kind::V, 0 };
        if (values_[x].uniform)
            return { Operand::Kind::Uniform, reg_[x] };
        return { Operand::Kind::Row, row_[x] };
    }
};

} // namespace

std::variant<Program, CompileError> compileRates(
    std::string_view rateU, std::string_view rateV, std::span<const std::string> parameters)
{
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        std::string complaint = parameterNameComplaint(parameters[k]);
        for (std::size_t j = 0; j < k && complaint.empty(); ++j)
            if (parameters[j] == parameters[k])
                complaint = "the name is given twice";
        if (!complaint.empty())
            return CompileError { ErrorSource::Parameters, 0,
                "parameter " + rd::quoted(parameters[k], 30) + ": " + complaint };
    }
    Compiler c(parameters.size());
    ErrorSource source = ErrorSource::RateU;
    try {
        const std::uint32_t f = c.compile(*tree::parse(rateU, parameters));
        const std::size_t fEnd = c.codeSize();
        source = ErrorSource::RateV;
        const std::uint32_t g = c.compile(*tree::parse(rateV, parameters));
        return std::move(c).finish({ parameters.begin(), parameters.end() }, fEnd, f, g);
    } catch (const tree::ParseFailure& e) {
        return CompileError { source, e.column, e.message };
    } catch (const std::length_error& e) {
        return CompileError { source, 0, e.what() };
    }
}

} // namespace rd::typed
