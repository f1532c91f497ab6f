// Shared set-up of the typed models' analysis tests: models typed in place or read from the
// shipped files, their settings through the intake, and their schemes.
#pragma once

#include "analysis/Scheme.h"
#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/engine/TypedTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rdtest {

// A model of two rates over parameters a, b, c (as many as values are given).
inline rd::TypedModel typedFromRates(
    const std::string& f, const std::string& g, std::vector<float> values = {}, bool clamp = false)
{
    static const std::vector<std::string> names { "a", "b", "c" };
    const std::vector<std::string> used(names.begin(),
        names.begin() + static_cast<std::ptrdiff_t>(std::min(values.size(), names.size())));
    auto r = rd::typed::compileRates(f, g, used);
    if (const auto* e = std::get_if<rd::typed::CompileError>(&r)) {
        ADD_FAILURE() << f << " | " << g << ": " << e->message;
        return {};
    }
    return rd::bindTypedModel("test",
        std::make_shared<const rd::typed::Program>(std::get<rd::typed::Program>(std::move(r))),
        std::move(values), clamp);
}

// The shipped model with other values for its parameters, in its order.
inline rd::TypedModel shippedWith(const std::string& file, std::vector<float> values)
{
    rd::TypedModel m = typedModel(shippedDescription(file));
    m.values = std::move(values);
    return m;
}

// A run's settings: the Schnakenberg boxes' start-up texts with `boxes` (slot -> text) typed
// over them (uMax, vMax, scale, Du, Dv are slots 0 to 4), through the intake.
inline rd::SimState settingsState(bool oneD, int n, const std::map<int, std::string>& boxes = {})
{
    return intakeState(rd::Model::Schnakenberg, oneD, n, boxes, true);
}

// The description's model and settings, its parameters replaced by position, with Du and Dv
// as given (when not empty), as a run of it would be analysed.
inline rd::analysis::Scheme shippedScheme(const std::string& file, std::vector<float> values,
    bool oneD, int n, const std::string& Du = "", const std::string& Dv = "")
{
    rd::ModelDescription d = shippedDescription(file);
    if (!Du.empty())
        d.Du = Du;
    if (!Dv.empty())
        d.Dv = Dv;
    const rd::SimState s = typedState(d, oneD ? 1 : 2, n);
    return rd::analysis::schemeFromState(shippedWith(file, std::move(values)), oneD, s, d.bounds);
}

} // namespace rdtest
