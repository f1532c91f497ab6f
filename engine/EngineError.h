// The one error type of the engine: what went wrong and where, in words a user can read.
#pragma once

#include <stdexcept>
#include <string>

namespace rd {

class EngineError : public std::runtime_error {
public:
    enum class Kind { Overflow, DivisionByZero, SubscriptOutOfRange };

    EngineError(Kind kind, const std::string& detail)
        : std::runtime_error(describe(kind) + (detail.empty() ? "" : " (" + detail + ")"))
        , kind_(kind)
    { }

    Kind kind() const noexcept { return kind_; }

    static std::string describe(Kind kind)
    {
        switch (kind) {
        case Kind::Overflow:
            return "Overflow: a value left the single-precision range or an operation was invalid";
        case Kind::DivisionByZero:
            return "Division by zero";
        case Kind::SubscriptOutOfRange:
            return "Subscript out of range: the cell arrays are smaller than the field";
        }
        return "Arithmetic error";
    }

private:
    Kind kind_;
};

} // namespace rd
