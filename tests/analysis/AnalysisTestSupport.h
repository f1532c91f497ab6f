// Shared set-up of the analysis tests: a model's settings through the intake, as a state the
// engine can step and as the analysis sees them.
#pragma once

#include "analysis/Scheme.h"
#include "settings/Intake.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace rdtest {

struct Setup {
    rd::SimState state;
    rd::analysis::Scheme scheme;
};

// The start-up texts of the model with `boxes` (slot -> text) typed over them.
inline Setup setupFor(
    rd::Model model, bool oneD, int n, const std::map<int, std::string>& boxes = {})
{
    rd::IntakeInput in = rd::defaultIntakeInput(model, oneD);
    in.sizeText = std::to_string(n);
    for (const auto& [slot, text] : boxes)
        in.boxes[static_cast<std::size_t>(slot)] = text;
    Setup s;
    const auto result = rd::evaluateIntake(in, s.state.dt, s.state.dx);
    EXPECT_TRUE(std::holds_alternative<rd::IntakeValues>(result));
    rd::applyIntake(s.state, std::get<rd::IntakeValues>(result));
    s.state.resizeArrays(oneD ? s.state.highestIndex1D() : s.state.highestIndex2D());
    s.scheme = rd::analysis::schemeFromState(model, oneD, s.state);
    return s;
}

// Steps the engine; in 2D an even count leaves the field in set A, as it began.
inline void run(rd::SimState& s, rd::Model model, bool oneD, int steps)
{
    for (int i = 0; i < steps; ++i)
        rd::step(s, model, rd::dimensionOf(oneD));
}

} // namespace rdtest
