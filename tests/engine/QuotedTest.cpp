#include "engine/Quoted.h"

#include <gtest/gtest.h>

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

} // namespace
