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
        for (int model = 0; model < 4; ++model)
            rdtest::expectThreadsMatchScalar(
                startState(model, n, static_cast<std::uint32_t>(n + model)),
                rdtest::kDefaults[model].model,
                std::string(rdtest::kDefaults[model].name) + " N=" + std::to_string(n));
}

TEST_P(ThreadedStep, AnErrorIsNamedAtTheScalarStepsFirstFailingCell)
{
    for (const rdtest::ThreadedFailure& c : rdtest::kThreadedFailures)
        for (int model = 0; model < 4; ++model)
            rdtest::expectThreadedFailureLikeScalar(startState(model, 64, 11),
                rdtest::kDefaults[model].model, c,
                std::string(c.what) + " " + rdtest::kDefaults[model].name);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, ThreadedStep, ::testing::ValuesIn(rd::availableSimdLevels()), rdtest::pathName);

} // namespace
