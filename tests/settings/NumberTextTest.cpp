#include "NumberText.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using rd::NumberStatus;
using rd::parseDouble;
using rd::parseFloat;

std::uint32_t bitsOf(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}
std::uint64_t bitsOf(double d)
{
    return std::bit_cast<std::uint64_t>(d);
}

std::uint32_t floatBits(const char* text)
{
    const auto n = parseFloat(text);
    EXPECT_TRUE(n.ok()) << text;
    return bitsOf(n.value);
}

TEST(NumberText, AcceptsDecimalNotationWithOptionalSignPointExponentAndBlanks)
{
    EXPECT_EQ(floatBits("1"), 0x3f800000u);
    EXPECT_EQ(floatBits("+1"), 0x3f800000u);
    EXPECT_EQ(floatBits("-2.5"), 0xc0200000u);
    EXPECT_EQ(floatBits(".5"), 0x3f000000u);
    EXPECT_EQ(floatBits("1."), 0x3f800000u);
    EXPECT_EQ(floatBits("1.0"), 0x3f800000u);
    EXPECT_EQ(floatBits("8e-4"), 0x3a51b717u);
    EXPECT_EQ(floatBits("1E+05"), 0x47c35000u);
    EXPECT_EQ(floatBits("00012.50e-1"), 0x3fa00000u);
    EXPECT_EQ(floatBits(" \t3 \t "), 0x40400000u);
    EXPECT_EQ(floatBits("0.1"), 0x3dcccccdu);
    EXPECT_EQ(floatBits("-0"), 0x80000000u);
    EXPECT_EQ(bitsOf(parseDouble("0.1").value), 0x3fb999999999999aull);
    EXPECT_EQ(bitsOf(parseDouble("-1e-3").value), bitsOf(-0.001));
}

TEST(NumberText, RefusesEverythingElse)
{
    EXPECT_EQ(parseFloat("").status, NumberStatus::Empty);
    EXPECT_EQ(parseFloat(" \t ").status, NumberStatus::Empty);
    EXPECT_EQ(parseDouble("").status, NumberStatus::Empty);
    for (const char* text :
        { "inf", "-inf", "+INF", "nan", "NaN", "infinity", "0x10", "0x1p3", "1,000", "1,5", "1 000",
            "1e", "1e+", "1e-", ".", "+", "-", "e5", ".e5", "+-1", "--1", "1.2.3", "1e5.5", "1e5e5",
            "1d", "1f", "5%", "1\n", "\n1", "\v1", "\xd9\xa1", "1e 5", "- 1" }) {
        EXPECT_EQ(parseFloat(text).status, NumberStatus::NotANumber) << text;
        EXPECT_EQ(parseDouble(text).status, NumberStatus::NotANumber) << text;
    }
    // An embedded NUL must not end the text early.
    EXPECT_EQ(parseFloat(std::string("1\0"
                                     "2",
                             3))
                  .status,
        NumberStatus::NotANumber);
}

TEST(NumberText, OverflowIsRefusedAsTooLarge)
{
    EXPECT_EQ(parseFloat("1e39").status, NumberStatus::TooLarge);
    EXPECT_EQ(parseFloat("-1e39").status, NumberStatus::TooLarge);
    EXPECT_EQ(parseFloat("1e99999999999999999999").status, NumberStatus::TooLarge);
    // The largest float, and the first decimal that rounds past it.
    EXPECT_EQ(floatBits("3.4028235e38"), 0x7f7fffffu);
    EXPECT_EQ(parseFloat("3.40282357e38").status, NumberStatus::TooLarge);
    // Double boxes have the double range.
    EXPECT_TRUE(parseDouble("1e39").ok());
    EXPECT_EQ(parseDouble("1e309").status, NumberStatus::TooLarge);
    EXPECT_EQ(parseDouble("-1.8e308").status, NumberStatus::TooLarge);
}

// Underflow is rounded like any other tiny result, not refused: to a subnormal, or to a zero
// that keeps the typed sign.
TEST(NumberText, UnderflowRoundsToSubnormalOrSignedZero)
{
    EXPECT_EQ(floatBits("1e-50"), 0x00000000u);
    EXPECT_EQ(floatBits("-1e-50"), 0x80000000u);
    EXPECT_EQ(floatBits("1e-40"), 0x000116c2u);
    EXPECT_EQ(floatBits("8e-46"), 0x00000001u); // above half the smallest subnormal
    EXPECT_EQ(floatBits("7e-46"), 0x00000000u); // below it
    EXPECT_EQ(floatBits("1e-99999999999999"), 0x00000000u);
    EXPECT_EQ(floatBits("0.0000000000000000000000000000000000000000000000000000001e5"), 0u);
    EXPECT_EQ(bitsOf(parseDouble("-1e-400").value), 0x8000000000000000ull);
    EXPECT_TRUE(parseDouble("1e-400").ok());
    // Zero digits never overflow, whatever the exponent.
    EXPECT_EQ(floatBits("0e99999999999999999"), 0u);
}

// Single-precision boxes are rounded once from the decimal. Going through double would round
// the first text to 1 + 2^-24 and then, as a tie, down to 1.
TEST(NumberText, SinglePrecisionIsRoundedOnceFromTheDecimal)
{
    EXPECT_EQ(floatBits("1.000000059604644775390625001"), 0x3f800001u);
    EXPECT_EQ(floatBits("1.000000059604644775390625"), 0x3f800000u); // exact tie, to even
    EXPECT_EQ(floatBits("16777217"), 0x4b800000u); // tie, to even (16777216)
    EXPECT_EQ(floatBits("16777219"), 0x4b800002u); // tie, to even (16777220)
}

// Every float written in its shortest decimal, and with 9 significant digits, reads back to
// the same bits; likewise a sample of doubles with 17 digits.
TEST(NumberText, AcceptedNumbersRoundTrip)
{
    char buf[64];
    for (std::uint64_t bits = 0; bits < 0x7f800000u; bits += 0xfffu) {
        for (std::uint32_t sign : { 0u, 0x80000000u }) {
            const float f = std::bit_cast<float>(static_cast<std::uint32_t>(bits) | sign);
            auto end = std::to_chars(buf, buf + sizeof buf, f).ptr;
            auto n = parseFloat(std::string_view(buf, static_cast<std::size_t>(end - buf)));
            ASSERT_TRUE(n.ok()) << buf;
            ASSERT_EQ(bitsOf(n.value), bitsOf(f)) << buf;
            end = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::scientific, 8).ptr;
            n = parseFloat(std::string_view(buf, static_cast<std::size_t>(end - buf)));
            ASSERT_EQ(bitsOf(n.value), bitsOf(f)) << buf;
        }
    }
    for (std::uint64_t bits = 0; bits < 0x7ff0000000000000ull; bits += 0x0000fffffffffffbull) {
        const double d = std::bit_cast<double>(bits);
        const auto end
            = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, 16).ptr;
        const auto n = parseDouble(std::string_view(buf, static_cast<std::size_t>(end - buf)));
        ASSERT_TRUE(n.ok()) << buf;
        ASSERT_EQ(bitsOf(n.value), bits) << buf;
    }
}

TEST(NumberText, RoundHalfEvenWithinInt32)
{
    using rd::roundHalfEven;
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(127.5), 128);
    EXPECT_EQ(roundHalfEven(128.5), 128);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-2.6), -3);
    EXPECT_EQ(roundHalfEven(2147483647.4), 2147483647);
    EXPECT_EQ(roundHalfEven(2147483647.5), std::nullopt); // rounds to 2^31
    EXPECT_EQ(roundHalfEven(-2147483648.5), -2147483647 - 1); // tie to the even -2^31
    EXPECT_EQ(roundHalfEven(-2147483649.0), std::nullopt);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::infinity()), std::nullopt);
}

} // namespace
