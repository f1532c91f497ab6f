// What each model panel's eight parameter boxes mean, their start-up texts and reading order.
#pragma once

#include "engine/SimState.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace rd {

// The field a parameter box sets. ScalingFactor sets reactGain = value * dt.
enum class BoxField : std::int8_t { UMax, VMax, ScalingFactor, Du, Dv, KA, KB, KC };

struct BoxInfo {
    int slot; // k: the box is Text1(10 * model + k)
    BoxField field;
    std::string_view name; // for messages: "<what> of <model>"
    std::string_view defaultText;
};

struct ModelInfo {
    Model model;
    std::string_view displayName;
    // Boxes in the order the intake reads them (slots ascending; the Oregonator's constant
    // kC stands in slot 5, before kA and kB).
    std::span<const BoxInfo> boxes;
    // A formula label that repeats a constant shown twice in the panel: Label1(labelIndex)
    // receives the text of Text1(labelSource) as typed. -1 when the model has none.
    int labelIndex;
    int labelSource;
};

inline constexpr int kModelCount = 4;

const ModelInfo& modelInfo(Model model);

// Index of the model in the Text1 numbering (and the Function menu): 0..3.
constexpr int modelNumber(Model model)
{
    return static_cast<int>(model);
}

// Text1 index of the box in slot k of the model's panel.
constexpr int boxIndex(Model model, int slot)
{
    return 10 * modelNumber(model) + slot;
}

// Start-up texts of the model's boxes by slot; slots the model does not have stay empty.
std::array<std::string, 8> defaultBoxTexts(Model model);

} // namespace rd
