// The parsed form of one rate expression, between the parser (TypedParser.cpp) and the
// compiler (TypedCompiler.cpp). Internal to the engine.
#pragma once

#include "engine/TypedProgram.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace rd::typed::tree {

struct Node {
    enum class Kind : std::uint8_t { Literal, Register, Apply, Power };
    Kind kind = Kind::Literal;
    float value = 0.0f; // Literal
    Reg reg = 0; // Register: u, v or a parameter
    Op op = Op::Add; // Apply
    int exponent = 0; // Power: a whole number from 1 to kMaxExponent
    std::unique_ptr<Node> a, b; // Apply: operands; Power: the base in a
};

// The language's characters and functions, for the parser and the rules on names.
constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
constexpr bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
constexpr bool isNamePart(char c)
{
    return isNameStart(c) || isDigit(c);
}
constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

struct Function {
    std::string_view name;
    Op op;
    int arity;
};

inline constexpr Function kFunctions[] = {
    { "sqrt", Op::Sqrt, 1 },
    { "exp", Op::Exp, 1 },
    { "log", Op::Log, 1 },
    { "abs", Op::Abs, 1 },
    { "min", Op::Min, 2 },
    { "max", Op::Max, 2 },
    { "tanh", Op::Tanh, 1 },
};

inline constexpr int kMaxExponent = 64;
inline constexpr int kMaxDepth = 100;

struct ParseFailure {
    int column;
    std::string message;
};

// Parses one expression; names are u, v, the parameters (registers 2, 3, ...) and the
// functions. Throws ParseFailure.
std::unique_ptr<Node> parse(std::string_view text, std::span<const std::string> parameters);

} // namespace rd::typed::tree
