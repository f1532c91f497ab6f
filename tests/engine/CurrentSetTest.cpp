#include "engine/Integrators.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

struct CurrentCase {
    rd::Dimension dim;
    rd::Bool16 phaseA;
    float wantU, wantV; // set A holds 1 and 2, set B 3 and 4
    std::size_t cells;
};

constexpr CurrentCase kCases[] = {
    { rd::Dimension::One, rd::kTrue, 1.0f, 2.0f, 5 },
    { rd::Dimension::One, rd::kFalse, 1.0f, 2.0f, 5 }, // a line always steps back into A
    { rd::Dimension::Two, rd::kTrue, 1.0f, 2.0f, 25 },
    { rd::Dimension::Two, rd::kFalse, 3.0f, 4.0f, 25 },
};

TEST(CurrentSet, IsTheSetPhaseANamesWithoutTheSpareElement)
{
    for (const CurrentCase& c : kCases) {
        rd::SimState s;
        s.nCells = 5;
        s.resizeArrays(26);
        std::ranges::fill(s.uA, 1.0f);
        std::ranges::fill(s.vA, 2.0f);
        std::ranges::fill(s.uB, 3.0f);
        std::ranges::fill(s.vB, 4.0f);
        s.phaseA = c.phaseA;
        const auto u = rd::currentU(s, c.dim), v = rd::currentV(s, c.dim);
        ASSERT_EQ(u.size(), c.cells);
        ASSERT_EQ(v.size(), c.cells);
        EXPECT_TRUE(std::ranges::all_of(u, [&](float x) { return x == c.wantU; }));
        EXPECT_TRUE(std::ranges::all_of(v, [&](float x) { return x == c.wantV; }));
    }
}

} // namespace
