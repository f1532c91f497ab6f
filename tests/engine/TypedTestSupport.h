// Shared set-up for the typed-model tests: the shipped model files, states with their
// settings as the intake derives them, and starting fields near their uniform states.
#pragma once

#include "engine/TypedModel.h"
#include "settings/Intake.h"
#include "settings/ModelFile.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <variant>
#include <vector>

namespace rdtest {

inline std::string modelPath(const std::string& file)
{
    return std::string(RDSIM_MODELS_DIR) + "/" + file;
}

inline rd::ModelDescription shippedDescription(const std::string& file)
{
    auto r = rd::readModelFile(modelPath(file));
    if (const auto* e = std::get_if<rd::ModelFileError>(&r)) {
        ADD_FAILURE() << e->message;
        return {};
    }
    return std::get<rd::ModelDescription>(r);
}

inline rd::TypedModel typedModel(const rd::ModelDescription& d)
{
    auto m = rd::typedModelOf(d);
    if (const auto* e = std::get_if<std::string>(&m)) {
        ADD_FAILURE() << d.name << ": " << *e;
        return {};
    }
    return std::get<rd::TypedModel>(m);
}

// The model of rates f and g over the parameters a and b, bound to these values.
inline rd::TypedModel compiledModel(
    const std::string& f, const std::string& g, std::vector<float> values, bool clamp = true)
{
    static const std::vector<std::string> names { "a", "b" };
    auto r = rd::typed::compileRates(f, g, names);
    if (const auto* e = std::get_if<rd::typed::CompileError>(&r))
        ADD_FAILURE() << f << " | " << g << ": " << e->message;
    return rd::bindTypedModel("t",
        std::make_shared<const rd::typed::Program>(std::get<rd::typed::Program>(r)),
        std::move(values), clamp);
}

// The shipped models, each with a uniform state its start is scattered around.
struct Shipped {
    const char* file;
    float u0, v0;
};

inline const Shipped kShipped[] = {
    { "brusselator.toml", 4.5f, 1.6667f },
    { "fitzhugh-nagumo.toml", 0.0f, 0.0f },
    { "lengyel-epstein.toml", 2.0f, 5.0f },
    { "thomas.toml", 37.74f, 25.16f },
    { "barrio-varea-aragon-maini.toml", 0.0f, 0.0f },
    { "schnakenberg.toml", 1.575f, 0.6248f },
    { "gray-scott.toml", 0.0f, 1.0f },
};

// A state of n cells (per side in 2D) with the description's settings (Du, Dv, scale, u and v
// ranges) put through the intake, as a run with this model does.
inline rd::SimState typedState(const rd::ModelDescription& d, int dim, int n)
{
    rd::IntakeInput input = rd::defaultIntakeInput(rd::Model::Schnakenberg, dim == 1);
    input.sizeText = std::to_string(n);
    input.sizeLimit = { n, false };
    const std::optional<std::string>* texts[] = { &d.uMax, &d.vMax, &d.scale, &d.Du, &d.Dv };
    for (int k = 0; k < 5; ++k)
        if (*texts[k])
            input.boxes[static_cast<std::size_t>(k)] = **texts[k];
    rd::SimState s;
    const auto values = rd::evaluateIntake(input, s.dt, s.dx);
    EXPECT_TRUE(std::holds_alternative<rd::IntakeValues>(values)) << d.name;
    rd::applyIntake(s, std::get<rd::IntakeValues>(values));
    s.resizeArrays(dim == 1 ? s.highestIndex1D() : s.highestIndex2D());
    return s;
}

// Every element of the four arrays scattered by up to `spread` (relative, at least an
// absolute 0.05) around (u0, v0); Gray-Scott's state also gets seeded squares of
// u = 0.25, v = 0.5 so that something happens.
inline void scatterAround(rd::SimState& s, const Shipped& m, float spread, std::uint32_t seed)
{
    std::mt19937 g(seed);
    std::uniform_real_distribution<float> r(-1.0f, 1.0f);
    const float du = spread * std::max(std::fabs(m.u0), 0.05f);
    const float dv = spread * std::max(std::fabs(m.v0), 0.05f);
    for (std::size_t k = 0; k < s.uA.size(); ++k) {
        s.uA[k] = s.uB[k] = m.u0 + du * r(g);
        s.vA[k] = s.vB[k] = m.v0 + dv * r(g);
        if (m.u0 == 0.0f && m.v0 == 1.0f && g() % 11 == 0) {
            s.uA[k] = 0.25f * (1.0f + 0.1f * r(g));
            s.vA[k] = 0.5f;
        }
    }
}

} // namespace rdtest
