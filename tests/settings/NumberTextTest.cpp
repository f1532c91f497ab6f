#include "settings/NumberText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using rd::NumberStatus;
using rd::parseDouble;
using rd::parseFloat;

const auto doubleBits = [](double d) { return std::bit_cast<std::uint64_t>(d); };
const auto floatBits = [](float f) { return std::bit_cast<std::uint32_t>(f); };

TEST(NumberText, AcceptedTextsGiveExactBits)
{
    const std::pair<const char*, std::uint32_t> accepted[] = {
        // Decimal notation with optional sign, point, exponent and blanks.
        { "1", 0x3f800000u }, { "+1", 0x3f800000u }, { "-2.5", 0xc0200000u }, { ".5", 0x3f000000u },
        { "1.", 0x3f800000u }, { "1.0", 0x3f800000u }, { "8e-4", 0x3a51b717u },
        { "1E+05", 0x47c35000u }, { "00012.50e-1", 0x3fa00000u }, { " \t3 \t ", 0x40400000u },
        { "0.1", 0x3dcccccdu }, { "-0", 0x80000000u },
        // The largest float. Underflow rounds like any tiny result, to a subnormal or to a
        // zero that keeps the typed sign; zero digits never overflow, whatever the exponent.
        { "3.4028235e38", 0x7f7fffffu }, { "1e-50", 0u }, { "-1e-50", 0x80000000u },
        { "1e-40", 0x000116c2u }, { "8e-46", 1u }, { "7e-46", 0u }, { "1e-99999999999999", 0u },
        { "0.0000000000000000000000000000000000000000000000000000001e5", 0u },
        { "0e99999999999999999", 0u },
        // Rounded once from the decimal: through double the first would round to 1 + 2^-24
        // and then, as a tie, down to 1. Ties go to even.
        { "1.000000059604644775390625001", 0x3f800001u },
        { "1.000000059604644775390625", 0x3f800000u }, { "16777217", 0x4b800000u },
        { "16777219", 0x4b800002u }
    };
    for (const auto& [text, bits] : accepted) {
        const auto n = parseFloat(text);
        EXPECT_TRUE(n.ok()) << text;
        EXPECT_EQ(floatBits(n.value), bits) << text;
    }
    EXPECT_EQ(doubleBits(parseDouble("0.1").value), 0x3fb999999999999aull);
    EXPECT_EQ(doubleBits(parseDouble("-1e-3").value), doubleBits(-0.001));
    EXPECT_EQ(doubleBits(parseDouble("-1e-400").value), 0x8000000000000000ull);
    EXPECT_TRUE(parseDouble("1e-400").ok());
    EXPECT_TRUE(parseDouble("1e39").ok()) << "double boxes have the double range";
}

TEST(NumberText, RefusesEverythingElse)
{
    for (const char* text : { "", " \t " }) {
        EXPECT_EQ(parseFloat(text).status, NumberStatus::Empty);
        EXPECT_EQ(parseDouble(text).status, NumberStatus::Empty);
    }
    for (const char* text :
        { "inf", "-inf", "+INF", "nan", "NaN", "infinity", "0x10", "0x1p3", "1,000", "1,5", "1 000",
            "1e", "1e+", "1e-", ".", "+", "-", "e5", ".e5", "+-1", "--1", "1.2.3", "1e5.5", "1e5e5",
            "1d", "1f", "5%", "1\n", "\n1", "\v1", "\xd9\xa1", "1e 5", "- 1" }) {
        EXPECT_EQ(parseFloat(text).status, NumberStatus::NotANumber) << text;
        EXPECT_EQ(parseDouble(text).status, NumberStatus::NotANumber) << text;
    }
    // An embedded NUL must not end the text early.
    EXPECT_EQ(parseFloat(std::string_view("1\0002", 3)).status, NumberStatus::NotANumber);
    // The first decimal that rounds past the largest float, and past the largest double.
    for (const char* text : { "1e39", "-1e39", "1e99999999999999999999", "3.40282357e38" })
        EXPECT_EQ(parseFloat(text).status, NumberStatus::TooLarge) << text;
    for (const char* text : { "1e309", "-1.8e308" })
        EXPECT_EQ(parseDouble(text).status, NumberStatus::TooLarge) << text;
}

TEST(NumberText, RoundHalfEvenWithinInt32)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::optional<std::int32_t>> cases[] = { { 0.5, 0 }, { 1.5, 2 },
        { 2.5, 2 }, { 127.5, 128 }, { 128.5, 128 }, { -0.5, 0 }, { -1.5, -2 }, { -2.6, -3 },
        { 2147483647.4, 2147483647 }, { 2147483647.5, std::nullopt }, // rounds to 2^31
        { -2147483648.5, -2147483647 - 1 }, // tie to the even -2^31
        { -2147483649.0, std::nullopt }, { nan, std::nullopt }, { inf, std::nullopt } };
    for (const auto& [x, rounded] : cases)
        EXPECT_EQ(rd::roundHalfEven(x), rounded) << x;
}

} // namespace
