// The settings intake without widgets: texts in, validated coefficients and sizes out.
//
// The window gathers the texts, calls evaluateIntake, and on an error shows the message, puts
// the focus into the named box and changes nothing; on success it calls applyIntake, resizes
// the arrays, places and scales the plot boxes and draws. The batch tool does the same minus
// the widgets. Nothing is written before every box has been checked, so a refused intake
// leaves the previous settings whole.
#pragma once

#include "engine/SimState.h"
#include "settings/ModelBoxes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace rd {

inline constexpr std::string_view kDefaultItersText = "20";
inline constexpr std::string_view kDefaultSizeText = "128";
// Field size limit of the window: a larger size is reduced to this and its box shows it.
inline constexpr std::int32_t kMaxLastIdx = 128;

// The largest field a front end takes, in cells per side, and what becomes of a larger
// size: the window reduces it to the largest field (and rewrites its box), the batch tool
// refuses it.
struct SizeLimit {
    std::int32_t maxCells;
    bool capLarger;
};
inline constexpr SizeLimit kWindowSizeLimit { kMaxLastIdx + 1, true };

// Box indices of IntakeError for the two general boxes; Text1 boxes use their own index.
inline constexpr int kItersBox = -2; // Text2, "Iteration / Image"
inline constexpr int kSizeBox = -3; // Text3, "Field Size ="
// The scheme's constants, which the window keeps fixed and the other front ends take as
// settings (dt and dx).
inline constexpr int kDtBox = -4;
inline constexpr int kDxBox = -5;
inline constexpr std::string_view kDefaultDtText = "1";
inline constexpr std::string_view kDefaultDxText = "0.01";

struct IntakeInput {
    std::string itersText; // Text2
    std::string sizeText; // Text3
    Model model; // the checked menu entry
    std::array<std::string, 8>
        boxes; // Text1(10 * model + k), k = 0..7; slots the model lacks are ignored
    bool oneD; // "1D" selected, else "2D"
    SizeLimit sizeLimit = kWindowSizeLimit;
};

// The start-up texts with the given model and dimension.
IntakeInput defaultIntakeInput(Model model, bool oneD);

struct IntakeValues {
    std::int32_t itersPerImage = 0, lastIdx = 0, nCells = 0, lastInner = 0;
    bool sizeCapped = false; // the size box must be rewritten to the largest field
    float uMax = 0, vMax = 0, reactGain = 0, Du = 0, Dv = 0, kA = 0, kB = 0;
    std::optional<float> kC; // only Gierer-Meinhardt and the Oregonator set it
    float cu = 0, cv = 0, su = 0, sv = 0, grayScale = 0;
    float dt = 0, dx = 0; // the step sizes the coefficients were derived with
};

struct IntakeError {
    int boxIndex; // Text1 index, or kItersBox / kSizeBox
    std::string boxName; // "Iteration / Image", "Field Size" or the parameter box's meaning
    std::string typed; // the box's text as it was
    std::string message; // complete sentence for the user, naming the box and quoting the text
};

// Reads and checks Text2, Text3, then the model's boxes in reading order; the first offending
// box is reported. dt and dx are the fixed step sizes (finite, dx non-zero).
std::variant<IntakeValues, IntakeError> evaluateIntake(
    const IntakeInput& input, float dt, float dx);

// The time step and the cell size from their texts, each converted as a constant's box
// (rounded once to single precision) and refused unless greater than 0. The defaults,
// kDefaultDtText and kDefaultDxText, give SimState's start-up dt and dx.
struct StepSizes {
    float dt = 1.0f, dx = 0.01f;
};
std::variant<StepSizes, IntakeError> evaluateStepSizes(
    std::string_view dtText, std::string_view dxText);

// Writes the coefficients, step sizes and sizes into the state (kC only when the model reads it)
// and makes buffer set A current. The arrays are not resized; that is the caller's next step.
void applyIntake(SimState& state, const IntakeValues& values);

} // namespace rd
