#include "engine/Quoted.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace {

struct QuoteCase {
    const char* text;
    std::size_t shown;
    const char* want;
};

// "\xC3\xA9" is one two-byte character: a cut inside it backs off to its start.
constexpr QuoteCase kCases[] = {
    { "abc", std::string_view::npos, "\"abc\"" },
    { "", 3, "\"\"" },
    { "abc", 3, "\"abc\"" },
    { "abcd", 3, "\"abc...\"" },
    { "ab\xC3\xA9z", 3, "\"ab...\"" },
    { "ab\xC3\xA9z", 4, "\"ab\xC3\xA9...\"" },
    { "\xC3\xA9\xC3\xA9", 1, "\"...\"" },
};

TEST(Quoted, CutsLongTextsAtTheStartOfACharacter)
{
    for (const QuoteCase& c : kCases)
        EXPECT_EQ(rd::quoted(c.text, c.shown), c.want) << c.text << " at " << c.shown;
}

// A text from a file must not end the quote, start a line or reach the terminal: quotes and
// backslashes are escaped, control characters (C1 too), a NUL and stray bytes written as escapes,
// while valid UTF-8 stays as it is.
TEST(Quoted, EscapesWhatCouldForgeALineOrReachTheTerminal)
{
    const std::pair<std::string_view, const char*> cases[] = {
        { "a\"b", "\"a\\\"b\"" }, { "C:\\x", "\"C:\\\\x\"" },
        { "x\nreproduced bit for bit", "\"x\\nreproduced bit for bit\"" }, { "\t\r", "\"\\t\\r\"" },
        { "\x1b[31mred", "\"\\x1b[31mred\"" }, { std::string_view("a\0b", 3), "\"a\\x00b\"" },
        { "\x7f", "\"\\x7f\"" },
        { "\xC2\x9B"
          "2J",
            "\"\\xc2\\x9b2J\"" }, // C1 CSI in UTF-8
        { "\x9b", "\"\\x9b\"" }, // C1 CSI as one byte
        { "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"" },
        { "\xC0\xAF", "\"\\xc0\\xaf\"" }, // overlong "/"
        { "\xED\xA0\x80", "\"\\xed\\xa0\\x80\"" }, // a UTF-16 surrogate
        { "\xE2\x82", "\"\\xe2\\x82\"" }, // cut short
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(rd::quoted(text), want) << text;
}

} // namespace
