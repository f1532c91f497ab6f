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
