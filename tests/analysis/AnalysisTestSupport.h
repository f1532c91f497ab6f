// Shared set-up of the analysis tests: a model's settings through the intake, as a state the
// engine can step and as the analysis sees them.
#pragma once

#include "analysis/Prediction.h"
#include "analysis/Scheme.h"
#include "settings/Intake.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace rdtest {

struct Setup {
    rd::SimState state;
    rd::analysis::Scheme scheme;
};

// The settings of the start-up texts of the model with `boxes` (slot -> text) typed over them,
// through the intake; `anySize` lifts the window's limit on the size.
inline rd::SimState intakeState(rd::Model model, bool oneD, int n,
    const std::map<int, std::string>& boxes = {}, bool anySize = false)
{
    rd::IntakeInput in = rd::defaultIntakeInput(model, oneD);
    in.sizeText = std::to_string(n);
    if (anySize)
        in.sizeLimit = { n, false };
    for (const auto& [slot, text] : boxes)
        in.boxes[static_cast<std::size_t>(slot)] = text;
    rd::SimState s;
    const auto result = rd::evaluateIntake(in, s.dt, s.dx);
    EXPECT_TRUE(std::holds_alternative<rd::IntakeValues>(result));
    rd::applyIntake(s, std::get<rd::IntakeValues>(result));
    return s;
}

// Those settings as a state the engine can step and as the analysis sees them.
inline Setup setupFor(
    rd::Model model, bool oneD, int n, const std::map<int, std::string>& boxes = {})
{
    Setup s { intakeState(model, oneD, n, boxes), {} };
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

// A box's text drawn uniformly from [lo, hi], written with `digits` significant digits.
struct Range {
    int slot;
    double lo, hi;
};

inline std::map<int, std::string> drawBoxes(
    const std::vector<Range>& ranges, std::mt19937_64& rng, int digits = 6)
{
    std::map<int, std::string> boxes;
    for (const Range& r : ranges) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.*g", digits,
            std::uniform_real_distribution<double>(r.lo, r.hi)(rng));
        boxes[r.slot] = buf;
    }
    return boxes;
}

// The prediction of every steady state of the scheme.
inline std::vector<rd::analysis::Prediction> predictions(const rd::analysis::Scheme& s)
{
    const rd::analysis::ModeTable table(s.n, s.oneD);
    std::vector<rd::analysis::Prediction> ps;
    for (const rd::analysis::SteadyState& st : rd::analysis::steadyStates(s))
        ps.push_back(rd::analysis::predict(s, st, table));
    return ps;
}

} // namespace rdtest
