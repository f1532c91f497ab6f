// A typed model's two rate expressions, compiled into one straight-line program over
// single-precision registers. The text's rules (TypedParser.cpp) fix what each operation
// is; this is the form every evaluator runs: the per-cell reference (TypedCells.h), the
// block evaluators of the step (TypedBlockEval.h) and the derivatives (TypedModel.h).
//
// Registers: 0 is u, 1 is v, then the parameters in order, then the literals, then the
// temporaries. An instruction's result never shares a register with its operands, and the
// results of f and g are never overwritten, so the code runs in order on one register file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rd::typed {

enum class Op : std::uint8_t {
    Add,
    Sub,
    Mul,
    Div, // a zero divisor ends the run with a division by zero
    Neg,
    Sqrt,
    Exp,
    Log, // a zero argument ends the run with a division by zero, as IEEE counts log(0)
    Abs,
    Min,
    Max,
    Tanh,
};

constexpr bool isBinary(Op op)
{
    return op == Op::Add || op == Op::Sub || op == Op::Mul || op == Op::Div || op == Op::Min
        || op == Op::Max;
}

using Reg = std::uint16_t;

struct Instr {
    Op op;
    Reg dst, a, b; // b is unused by the one-operand operations
};

inline constexpr Reg kRegU = 0;
inline constexpr Reg kRegV = 1;

// Where the block evaluators find an operand: the u or v cells of the block, one value for
// every cell (a parameter, a literal or a result computed from them alone), or a scratch
// row of block values.
struct Operand {
    enum class Kind : std::uint8_t { U, V, Uniform, Row };
    Kind kind;
    Reg index; // Uniform: the register; Row: the scratch row
};

struct BlockInstr {
    Op op;
    Operand a, b;
    Reg row; // the scratch row of the result
};

struct Program {
    std::vector<std::string> parameters; // in the caller's order, registers 2, 3, ...
    std::vector<float> literals; // registers 2 + parameters.size(), ...
    std::vector<Instr> code; // f's instructions, then g's
    std::size_t fEnd = 0; // code[0, fEnd) computes f
    Reg fReg = 0, gReg = 0;
    std::size_t registerCount = 2;

    // The same code split for blocks of cells: the instructions whose operands are all
    // uniform, run once per step, then the others, run over every block, in the same order.
    std::vector<Instr> uniformCode;
    std::vector<BlockInstr> blockCode;
    Operand fOperand {}, gOperand {};
    std::size_t rowCount = 0; // scratch rows a block needs

    Reg firstLiteral() const { return static_cast<Reg>(2 + parameters.size()); }
};

// Where a compile error lies: in one of the rates, or in the parameter names.
enum class ErrorSource : std::uint8_t { RateU, RateV, Parameters };

struct CompileError {
    ErrorSource source;
    int column; // 1-based byte position in the rate's text; 0 for a parameter name
    std::string message; // "column 7: expected ..." or "parameter \"u\": ..."
};

// The function names of the language, in the order messages list them.
std::span<const std::string_view> functionNames();

// Why a name cannot be a parameter's, or "" when it can: it must be a name of letters,
// digits and '_' not starting with a digit, and not u, v, a function, or a name the options
// already use (uMax, vMax, scale, Du, Dv, dt, dx, seed).
std::string parameterNameComplaint(std::string_view name);

// Compiles the rates f (of u) and g (of v) over the given parameter names, which must be
// valid (parameterNameComplaint) and distinct; the first bad one is the error.
std::variant<Program, CompileError> compileRates(
    std::string_view rateU, std::string_view rateV, std::span<const std::string> parameters);

} // namespace rd::typed
