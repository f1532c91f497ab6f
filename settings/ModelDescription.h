// A typed model as plain data: what a model file or the command line says, before anything
// is compiled. Texts stay texts until the intake converts them, as the boxes' texts do.
#pragma once

#include "engine/TypedModel.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rd {

struct ParameterText {
    std::string name;
    std::string defaultText; // a decimal number, converted as a box's text is
};

// The box the analysis searches for uniform states, for a model whose variables may go
// negative (a clamped model's states lie at u, v >= 0).
struct AnalysisBounds {
    double uLow, uHigh, vLow, vHigh;
};

struct ModelDescription {
    std::string name;
    std::string rateU, rateV; // f(u, v) and g(u, v)
    std::vector<ParameterText> parameters; // in the order given
    bool clamp = true;
    // The start-up texts of the settings every model has, where the description gives them:
    // u range, v range, scaling factor, Du, Dv.
    std::optional<std::string> uMax, vMax, scale, Du, Dv;
    std::optional<AnalysisBounds> bounds;
};

// Why a text cannot name a model, or "" when it can: a model's name appears in messages,
// captions and records, so it is a line of at most 80 characters without control
// characters, and not empty.
std::string modelNameComplaint(std::string_view name);

// "rate of u, column 7: expected ..." or "parameter \"u\": ...".
std::string describeCompileError(const typed::CompileError& e);

// Compiles the description's rates over its parameter names; a refused text or name is
// described by describeCompileError.
std::variant<std::shared_ptr<const typed::Program>, std::string> compileDescription(
    const ModelDescription& description);

// The parameters' default values, each text converted to the nearest single-precision
// value as a box's text is; an error names the parameter and quotes its text.
std::variant<std::vector<float>, std::string> defaultValues(const ModelDescription& description);

// The description compiled and bound to its default values.
std::variant<TypedModel, std::string> typedModelOf(const ModelDescription& description);

} // namespace rd
