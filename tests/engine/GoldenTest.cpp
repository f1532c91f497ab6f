// Long fixed runs of every model, hashed bit for bit. The expected hashes come from
// oracle.py beside this file, an independent NumPy model of the arithmetic; any change
// of results, in any cell, in any step, changes a hash.
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

struct Golden {
    const char* model;
    int dim, n, steps;
    std::uint64_t hash;
};

// oracle.py --check looks for these lines verbatim.
const Golden kGolden[] = {
    { "gm", 1, 64, 3000, 0x9840cf523b5633d1ull },
    { "gm", 2, 24, 300, 0xa52ce2274e7d4334ull },
    { "sch", 1, 64, 3000, 0xb3fab925c1751536ull },
    { "sch", 2, 24, 300, 0xad8a74d3252cba2aull },
    { "gs", 1, 64, 3000, 0x099b8238bbae2725ull },
    { "gs", 2, 24, 300, 0x3b30ea40ef436dc4ull },
    { "ore", 1, 64, 3000, 0x68459196241ee904ull },
    { "ore", 2, 24, 300, 0xc4485918f3de374dull },
};

class GoldenRun : public ::testing::TestWithParam<Golden> { };

TEST_P(GoldenRun, MatchesTheIndependentModelBitForBit)
{
    const Golden g = GetParam();
    const auto& m = *std::find_if(std::begin(rdtest::kDefaults), std::end(rdtest::kDefaults),
        [&](const auto& d) { return std::string(d.name) == g.model; });
    rd::SimState s = rdtest::makeState(m, g.dim, g.n);
    const std::int64_t cells = rdtest::cellCount(g.dim, g.n);
    rdtest::fillStartField(s, cells, 12345);
    for (int t = 0; t < g.steps; ++t)
        rdtest::step(s, g.dim, m.model);
    // The set the last step wrote (1D ends with both sets equal).
    const rd::Dimension dim = rd::dimensionOf(g.dim == 1);
    const auto h = rdtest::fnv1a(
        rd::currentV(s, dim).data(), cells, rdtest::fnv1a(rd::currentU(s, dim).data(), cells));
    EXPECT_EQ(h, g.hash) << std::hex << "got 0x" << h;
}

INSTANTIATE_TEST_SUITE_P(Engine, GoldenRun, ::testing::ValuesIn(kGolden), [](const auto& info) {
    return std::string(info.param.model) + "_" + std::to_string(info.param.dim) + "D";
});

} // namespace
