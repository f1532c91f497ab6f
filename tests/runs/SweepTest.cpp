// The seeds of an ensemble: whole numbers evenly spaced between two ends, both included.
#include "runs/Sweep.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace {

using Seeds = std::vector<std::uint64_t>;

TEST(Sweep, SeedsAreWholeNumbersEvenlySpacedEitherWay)
{
    constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();
    using Case = std::tuple<std::uint64_t, std::uint64_t, std::int64_t, Seeds>;
    for (const auto& [from, to, count, seeds] : {
             Case { 1, 5, 5, { 1, 2, 3, 4, 5 } },
             Case { 30, 10, 3, { 30, 20, 10 } },
             Case { 0, 100, 3, { 0, 50, 100 } },
             Case { 7, 7, 1, { 7 } },
             Case { 0, kTop, 2, { 0, kTop } }, // the whole range of a seed, exactly
             Case { kTop, kTop - 4, 3, { kTop, kTop - 2, kTop - 4 } },
         })
        EXPECT_EQ(rd::runs::evenlySpacedWhole(from, to, count), seeds) << from;
    EXPECT_EQ(rd::runs::evenlySpacedWhole(1, 20, 20).back(), 20u);
}

TEST(Sweep, SeedsThatAreNotWholeOrRepeatAreRefused)
{
    const std::pair<Seeds, std::string> cases[] = {
        { { 1, 20, 4 },
            "does not give whole numbers: the ends are 19 apart, not a multiple of the 3 gaps "
            "between the values" },
        { { 0, 1, 3 },
            "does not give whole numbers: the ends are 1 apart, not a multiple of the 2 gaps "
            "between the values" },
        { { 3, 3, 2 }, "gives the value 3 more than once" },
        { { 3, 4, 1 }, "gives one value, which needs equal ends" },
    };
    for (const auto& [args, message] : cases) {
        try {
            rd::runs::evenlySpacedWhole(args[0], args[1], static_cast<std::int64_t>(args[2]));
            ADD_FAILURE() << "accepted: " << message;
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

} // namespace
