// The settings intake of a typed model, beside the built-in models' (Intake.h) and by the
// same rules: the iterations and size boxes, then the settings every model has (u range,
// v range, scaling factor, Du, Dv), then the model's own parameters in its order, each text
// converted, derived and refused exactly as the panel box of that kind; nothing is taken
// unless every text passes.
#pragma once

#include "settings/Intake.h"
#include "settings/ModelDescription.h"

#include <array>
#include <string>
#include <variant>
#include <vector>

namespace rd {

// The settings every typed model has, in the order the intake reads them.
inline constexpr std::array<BoxField, 5> kTypedGeneralFields
    = { BoxField::UMax, BoxField::VMax, BoxField::ScalingFactor, BoxField::Du, BoxField::Dv };
// What they are, for messages and labels.
inline constexpr std::array<std::string_view, 5> kTypedGeneralMeanings
    = { "u range", "v range", "scaling factor", "Du", "Dv" };
// Their start-up texts where a model's description gives none: ranges of 1, the step's
// reactions scaled by 0.01 (as Gierer-Meinhardt's), and Dv twenty times Du.
inline constexpr std::array<std::string_view, 5> kTypedGeneralDefaults
    = { "1", "1", "0.01", "1", "20" };

// IntakeError::boxIndex of a typed intake: kItersBox, kSizeBox, the position of a general
// setting in kTypedGeneralFields, or kTypedParameterBox + k for parameter k.
inline constexpr int kTypedParameterBox = 5;

struct TypedIntakeInput {
    std::string itersText { kDefaultItersText };
    std::string sizeText { kDefaultSizeText };
    std::string modelName; // for the messages: "Du of Brusselator"
    std::array<std::string, 5> general; // by kTypedGeneralFields
    std::vector<std::string> parameterNames, parameterTexts; // the model's order
    bool oneD = false;
    SizeLimit sizeLimit = kWindowSizeLimit;
};

// The description's start-up texts: its own settings where it gives them, else
// kTypedGeneralDefaults, and its parameters' default texts.
TypedIntakeInput defaultTypedIntakeInput(const ModelDescription& description, bool oneD);

struct TypedIntakeValues {
    IntakeValues values; // kA, kB and kC stay 0: a typed model has parameters instead
    std::vector<float> parameters; // the parameter values, in the model's order
};

// What a refusal calls a setting: "u range of Brusselator", "parameter a of Brusselator".
std::string typedBoxName(const TypedIntakeInput& input, int boxIndex);

std::variant<TypedIntakeValues, IntakeError> evaluateTypedIntake(
    const TypedIntakeInput& input, float dt, float dx);

} // namespace rd
