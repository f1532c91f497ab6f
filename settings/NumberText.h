// Reading a text box as a decimal number, the same way on every machine and in every locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rd {

enum class NumberStatus : std::int8_t {
    Ok,
    Empty, // nothing but spaces and tabs
    NotANumber, // anything outside the accepted notation
    TooLarge, // finite decimal whose magnitude overflows the target type
};

template <typename T> struct ParsedNumber {
    NumberStatus status = NumberStatus::NotANumber;
    T value = 0; // meaningful only when status is Ok

    bool ok() const { return status == NumberStatus::Ok; }
};

// Accepted: optional spaces and tabs, an optional sign ('+' or '-'), digits with an optional
// decimal point ("1", "1.", ".5", "1.0"; at least one digit), an optional exponent ('e' or 'E',
// optional sign, at least one digit), optional spaces and tabs. Nothing else: no "inf", "nan",
// hex, thousands separators, decimal commas or embedded spaces.
//
// The value is the decimal rounded once, correctly (nearest, ties to even) to the target type.
// Overflow is refused as TooLarge. Underflow is not an error: a magnitude below the smallest
// subnormal rounds to zero of the typed sign and smaller normals become subnormals, exactly as
// the arithmetic treats any other tiny result. Where zero is not usable (a range, a divisor)
// the caller refuses it as such, with a message that says why.
ParsedNumber<float> parseFloat(std::string_view text);
ParsedNumber<double> parseDouble(std::string_view text);

// Nearest integer, halves to the even neighbour (127.5 -> 128, 128.5 -> 128);
// nullopt when the result lies outside the int32 range or the argument is NaN.
std::optional<std::int32_t> roundHalfEven(double value);

} // namespace rd
