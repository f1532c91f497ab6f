#include "settings/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace rd {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// What the notation check learns about a trimmed text; from_chars does the conversion.
struct Shape {
    bool valid = false;
    bool negative = false;
    // Decimal exponent of the leading non-zero digit, saturated; only read when from_chars
    // reports a range error, whose direction it tells (the digits are then not all zero).
    std::int64_t magnitude = 0;
};

Shape scan(std::string_view s)
{
    Shape shape;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        shape.negative = s[i] == '-';
        ++i;
    }

    std::size_t digits = 0;
    std::int64_t leadPos = 0; // position of the leading non-zero digit relative to the point
    bool seenNonZero = false;
    std::int64_t intDigits = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (!seenNonZero && s[i] != '0') {
            seenNonZero = true;
            leadPos = intDigits; // counted from the left; fixed up below
        }
        ++intDigits;
        ++digits;
        ++i;
    }
    if (seenNonZero)
        leadPos = intDigits - leadPos - 1; // 10^leadPos for the integer part
    if (i < s.size() && s[i] == '.') {
        ++i;
        std::int64_t fracPos = 0;
        while (i < s.size() && isDigit(s[i])) {
            ++fracPos;
            if (!seenNonZero && s[i] != '0') {
                seenNonZero = true;
                leadPos = -fracPos;
            }
            ++digits;
            ++i;
        }
    }
    if (digits == 0)
        return shape;

    std::int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            negExp = s[i] == '-';
            ++i;
        }
        std::size_t expDigits = 0;
        constexpr std::int64_t kSaturate = 1'000'000'000'000;
        while (i < s.size() && isDigit(s[i])) {
            if (exponent < kSaturate)
                exponent = exponent * 10 + (s[i] - '0');
            ++expDigits;
            ++i;
        }
        if (expDigits == 0)
            return shape;
        if (negExp)
            exponent = -exponent;
    }
    if (i != s.size())
        return shape;

    shape.valid = true;
    shape.magnitude = leadPos + exponent;
    return shape;
}

template <typename T> ParsedNumber<T> parse(std::string_view text)
{
    const std::string_view s = trimBlanks(text);
    if (s.empty())
        return { NumberStatus::Empty, 0 };
    const Shape shape = scan(s);
    if (!shape.valid)
        return { NumberStatus::NotANumber, 0 };

    // from_chars takes a leading '-' but not '+'.
    const std::string_view core = s.front() == '+' ? s.substr(1) : s;
    T value = 0;
    const auto [end, ec] = std::from_chars(
        core.data(), core.data() + core.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (shape.magnitude >= 0)
            return { NumberStatus::TooLarge, 0 };
        // Rounded below half the smallest subnormal: the nearest value is a signed zero.
        return { NumberStatus::Ok, shape.negative ? -T(0) : T(0) };
    }
    if (ec != std::errc() || end != core.data() + core.size())
        return { NumberStatus::NotANumber, 0 };
    return { NumberStatus::Ok, value };
}

} // namespace

ParsedNumber<float> parseFloat(std::string_view text)
{
    return parse<float>(text);
}

ParsedNumber<double> parseDouble(std::string_view text)
{
    return parse<double>(text);
}

std::optional<std::int32_t> roundHalfEven(double value)
{
    // nearbyint rounds halves to even under the default rounding mode and raises no
    // inexact exception; the range test also rejects NaN.
    const double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        return std::nullopt;
    return static_cast<std::int32_t>(r);
}

} // namespace rd
