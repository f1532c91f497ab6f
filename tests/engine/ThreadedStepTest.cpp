// The 2D step split over threads against the one-thread scalar reference: the same bits
// for every thread count and path, and an error named at the reference's cell with the
// reference's increments.
#include "engine/StepThreads.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using rdtest::bits;

rd::SimState startState(int model, int n, std::uint32_t seed)
{
    rd::SimState s = rdtest::makeState(rdtest::kDefaults[model], 2, n);
    rdtest::fillStartField(s, std::int64_t { n } * n, seed);
    // Set B differs from anything a step writes, so a missed cell shows.
    for (auto* a : { &s.uB, &s.vB })
        for (std::size_t k = 0; k < a->size(); ++k)
            (*a)[k] = 7.0f + static_cast<float>(k % 5);
    return s;
}

class ThreadedStep : public rdtest::OnPath { };

TEST_P(ThreadedStep, EveryThreadCountGivesTheScalarBits)
{
    for (int n : { 5, 37, 129, 512 })
        for (int model = 0; model < 4; ++model) {
            const rd::Model m = rdtest::kDefaults[model].model;
            const rd::SimState start = startState(model, n, static_cast<std::uint32_t>(n + model));
            rd::SimState ref = start;
            rd::scalar::Step2DFromA(ref, m);
            rd::scalar::Step2DFromB(ref, m);
            for (int threads : { 1, 2, 3 }) {
                rd::SimState s = start;
                rd::StepThreads pool(threads);
                pool.step2D(s, m, true);
                pool.step2D(s, m, false);
                EXPECT_TRUE(rdtest::sameState(s, ref))
                    << rdtest::kDefaults[model].name << " N=" << n << " T=" << threads;
            }
        }
}

TEST_P(ThreadedStep, AnErrorIsNamedAtTheScalarStepsFirstFailingCell)
{
    const int n = 64; // three threads take rows 0-20, 21-41 and 42-63
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> badCells; // (column, row)
        int column, row; // where the scalar step fails
    };
    const Case cases[] = {
        { "one cell in the middle range", { { 5, 30 } }, 5, 30 },
        { "the first cell of the last range", { { 0, 42 } }, 0, 42 },
        { "two ranges fail, the earlier wins", { { 63, 60 }, { 17, 25 } }, 17, 25 },
        { "the earlier cell of one range wins", { { 40, 50 }, { 2, 49 } }, 2, 49 },
    };
    for (const Case& c : cases)
        for (int model = 0; model < 4; ++model)
            for (int threads : { 1, 2, 3 }) {
                const rd::Model m = rdtest::kDefaults[model].model;
                rd::SimState start = startState(model, n, 11);
                for (const auto& [col, row] : c.badCells)
                    start.uA[static_cast<std::size_t>(row * n + col)] = 1e20f;
                rd::SimState ref = start, s = start;
                const rdtest::Raised want
                    = rdtest::raised([&] { rd::scalar::Step2DFromA(ref, m); });
                const rdtest::Raised got
                    = rdtest::raised([&] { rd::Step2DThreaded(s, m, true, threads); });
                const std::string tag = std::string(c.what) + " " + rdtest::kDefaults[model].name
                    + " T=" + std::to_string(threads);
                const std::string cell = "at cell column " + std::to_string(c.column) + ", row "
                    + std::to_string(c.row);
                ASSERT_NE(want.text.find(cell), std::string::npos) << tag << ": " << want.text;
                EXPECT_EQ(got.text, want.text) << tag;
                // Every cell up to the failing one, the source set, the increments and phaseA.
                EXPECT_TRUE(rdtest::sameState(s, ref, std::int64_t { c.row } * n + c.column + 1))
                    << tag;
                EXPECT_TRUE(rdtest::sameBits(s.uA, start.uA) && rdtest::sameBits(s.vA, start.vA))
                    << tag;
            }
}

INSTANTIATE_TEST_SUITE_P(Engine, ThreadedStep, ::testing::ValuesIn(rd::availableSimdLevels()),
    [](const auto& info) { return std::string(rd::simdLevelName(info.param)); });

} // namespace
