// The vector paths compute the mirrored edge cells (columns 0 and L, the corners, the line
// ends) in the lanes of their blocks: an error there must still be raised at that cell, with
// the cells before it written as the scalar path writes them.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rdtest::bits;

bool sameArrays(const rd::SimState& a, const rd::SimState& b)
{
    for (const auto m :
        { &rd::SimState::uA, &rd::SimState::vA, &rd::SimState::uB, &rd::SimState::vB })
        if ((a.*m).size() != (b.*m).size()
            || !std::equal((a.*m).begin(), (a.*m).end(), (b.*m).begin(),
                [](float x, float y) { return bits(x) == bits(y); }))
            return false;
    return bits(a.synU) == bits(b.synU) && bits(a.synV) == bits(b.synV) && a.phaseA == b.phaseA;
}

class EdgeCells : public ::testing::TestWithParam<rd::SimdLevel> {
protected:
    void TearDown() override { rd::setSimdLevelForTesting(rd::availableSimdLevels().back()); }

    // One step of both paths from `s`; both must end alike and the scalar one with `want`
    // in its message ("" when the step completes).
    void expectAlike(const rd::SimState& s, int dim, rd::Model m, const std::string& want,
        const std::string& tag)
    {
        rd::SimState ref = s, fast = s;
        const rdtest::Raised a = rdtest::raised([&] { rdtest::step(ref, dim, m, true); });
        ASSERT_TRUE(rd::setSimdLevelForTesting(GetParam()));
        const rdtest::Raised b = rdtest::raised([&] { rdtest::step(fast, dim, m, false); });
        EXPECT_NE(a.text.find(want), std::string::npos) << tag << ": " << a.text;
        EXPECT_EQ(want.empty(), a.text.empty()) << tag << ": " << a.text;
        EXPECT_EQ(b.text, a.text) << tag;
        EXPECT_TRUE(sameArrays(fast, ref)) << tag;
    }
};

TEST_P(EdgeCells, AnOverflowAtAnEdgeCellIsRaisedThere)
{
    const int n = 37;
    const int L = n - 1;
    struct Case {
        int dim, column, row;
    };
    const Case cases[] = { { 2, 0, 0 }, { 2, L, 0 }, { 2, 0, 5 }, { 2, L, 5 }, { 2, 0, L },
        { 2, L, L }, { 1, 0, 0 }, { 1, L, 0 } };
    for (int model = 0; model < 4; ++model)
        for (const Case& c : cases) {
            rd::SimState s = rdtest::makeState(rdtest::kDefaults[model], c.dim, n);
            rdtest::fillStartField(s, rdtest::cellCount(c.dim, n), 5);
            s.uA[static_cast<std::size_t>(c.row * n + c.column)] = 1e20f;
            const std::string cell = c.dim == 1
                ? "at cell " + std::to_string(c.column)
                : "at cell column " + std::to_string(c.column) + ", row " + std::to_string(c.row);
            expectAlike(s, c.dim, rdtest::kDefaults[model].model, cell,
                std::string(rdtest::kDefaults[model].name) + " " + cell);
        }
}

// A line whose inner end cell is not the last cell's neighbour keeps its ends on the
// per-cell code; its results must still be the scalar ones.
TEST_P(EdgeCells, ALineWithAnotherInnerEndCellMatchesTheScalarPath)
{
    for (int model = 0; model < 4; ++model)
        for (int inner : { 0, 20, 39 }) {
            rd::SimState s = rdtest::makeState(rdtest::kDefaults[model], 1, 40);
            rdtest::fillStartField(s, 40, 9);
            s.lastInner = inner;
            expectAlike(s, 1, rdtest::kDefaults[model].model, "",
                std::string(rdtest::kDefaults[model].name) + " inner " + std::to_string(inner));
        }
}

std::vector<rd::SimdLevel> vectorLevels()
{
    std::vector<rd::SimdLevel> levels = rd::availableSimdLevels();
    std::erase(levels, rd::SimdLevel::Scalar);
    return levels;
}

INSTANTIATE_TEST_SUITE_P(Engine, EdgeCells, ::testing::ValuesIn(vectorLevels()),
    [](const auto& info) { return std::string(rd::simdLevelName(info.param)); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EdgeCells);

} // namespace
