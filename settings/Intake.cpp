#include "settings/Intake.h"

#include "engine/Quoted.h"
#include "settings/IntakeReader.h"
#include "settings/NumberText.h"

#include <cmath>
#include <tuple>

namespace rd {

namespace {

constexpr std::string_view kItersName = "Iteration / Image";
constexpr std::string_view kSizeName = "Field Size";
constexpr std::string_view kDtName = "time step dt";
constexpr std::string_view kDxName = "cell size dx";

// Long texts are shortened in messages so that a dialog stays readable.
constexpr std::size_t kShownTyped = 40;

IntakeError refuse(
    int index, std::string_view name, std::string_view typed, std::string_view complaint)
{
    std::string message(name);
    message.append(": ");
    if (complaint.empty()) {
        message.append("the box is empty; a number is needed.");
    } else {
        message.append(rd::quoted(typed, kShownTyped));
        message += ' ';
        message.append(complaint);
    }
    return { index, std::string(name), std::string(typed), std::move(message) };
}

// The complaint for a text that did not convert, or "" for an empty box.
std::string_view parseComplaint(NumberStatus status, std::string_view tooLarge)
{
    switch (status) {
    case NumberStatus::Empty:
        return "";
    case NumberStatus::TooLarge:
        return tooLarge;
    case NumberStatus::Ok:
    case NumberStatus::NotANumber:
        break;
    }
    return "is not a number.";
}

// Stores a double-precision result in single precision; nullopt when it does not fit.
std::optional<float> toSingle(double value)
{
    const float stored = static_cast<float>(value);
    if (!std::isfinite(stored))
        return std::nullopt;
    return stored;
}

constexpr std::string_view kSingleTooLarge = "is too large (the limit is about 3.4e38).";

} // namespace

namespace intake {

Reader::Reader(std::string_view itersText, std::string_view sizeText, SizeLimit sizeLimit,
    bool oneD, float dt, float dx)
    : itersText_(itersText)
    , sizeText_(sizeText)
    , sizeLimit_(sizeLimit)
    , oneD_(oneD)
    , dt_(dt)
    , dx_(dx)
{
    values.dt = dt;
    values.dx = dx;
}

bool Reader::fail(int index, std::string_view name, std::string_view typed, std::string_view why)
{
    error = refuse(index, name, typed, why);
    return false;
}

bool Reader::readIters()
{
    const std::string_view text = itersText_;
    constexpr std::string_view outOfRange
        = "is out of range (whole numbers from -2147483648 to 2147483647).";
    const ParsedNumber<double> n = parseDouble(text);
    if (!n.ok())
        return fail(kItersBox, kItersName, text, parseComplaint(n.status, outOfRange));
    const std::optional<std::int32_t> iters = roundHalfEven(n.value);
    if (!iters)
        return fail(kItersBox, kItersName, text, outOfRange);
    // The run loop takes the iteration number modulo this; a negative period works.
    if (*iters == 0)
        return fail(kItersBox, kItersName, text, "must not round to 0.");
    values.itersPerImage = *iters;
    return true;
}

bool Reader::readSize()
{
    const std::string_view text = sizeText_;
    const SizeLimit limit = sizeLimit_;
    const std::string outOfRange = "is out of range (at most " + std::to_string(limit.maxCells)
        + (limit.capLarger ? " cells are used)." : " cells per side).");
    const ParsedNumber<double> n = parseDouble(text);
    if (!n.ok())
        return fail(kSizeBox, kSizeName, text, parseComplaint(n.status, outOfRange));
    // One is subtracted before rounding, so 128.5 gives 127.5 and then 128. Any finite
    // size beyond the largest field is above it, however it is spelt ("1e10" as "200").
    const double lastValue = n.value - 1.0;
    const std::int32_t maxLast = limit.maxCells - 1;
    std::optional<std::int32_t> last
        = lastValue > maxLast + 0.5 ? maxLast + 1 : roundHalfEven(lastValue);
    values.sizeCapped = last && *last > maxLast && limit.capLarger;
    if (values.sizeCapped)
        last = maxLast;
    else if (last && *last > maxLast)
        return fail(kSizeBox, kSizeName, text, outOfRange);
    if (!last || *last < 0)
        return fail(kSizeBox, kSizeName, text, "gives fewer than 1 cell.");
    values.lastIdx = *last;
    values.nCells = values.lastIdx + 1;
    values.lastInner = values.lastIdx - 1;
    return true;
}

// Diffusion number and self-weight of one species, both checked against overflow.
bool Reader::diffusion(
    float D, float& c, float& s, int index, std::string_view name, std::string_view text)
{
    const auto number = toSingle(static_cast<double>(D) * 1e-6 * static_cast<double>(dt_)
        / static_cast<double>(dx_) / static_cast<double>(dx_));
    if (!number)
        return fail(index, name, text,
            "is too large (the diffusion number it gives exceeds about 3.4e38).");
    // The self-weight starts from the stored single-precision number, not the double.
    const double neighbours = oneD_ ? 2.0 : 4.0;
    const auto self = toSingle(1.0 - neighbours * static_cast<double>(*number));
    if (!self)
        return fail(
            index, name, text, "is too large (the self-weight it gives exceeds about 3.4e38).");
    c = *number;
    s = *self;
    return true;
}

bool Reader::readBox(BoxField field, int index, std::string_view name, const std::string& text)
{
    if (field == BoxField::ScalingFactor) {
        // Converted in double and multiplied by dt before the single-precision store.
        const ParsedNumber<double> n = parseDouble(text);
        if (!n.ok())
            return fail(index, name, text,
                parseComplaint(n.status, "is too large (the limit is about 1.8e308)."));
        const auto gain = toSingle(n.value * static_cast<double>(dt_));
        if (!gain)
            return fail(
                index, name, text, "is too large (times the time step it exceeds about 3.4e38).");
        values.reactGain = *gain;
        return true;
    }

    const ParsedNumber<float> n = parseFloat(text);
    if (!n.ok())
        return fail(index, name, text, parseComplaint(n.status, kSingleTooLarge));
    const float v = n.value;
    switch (field) {
    case BoxField::UMax: {
        if (v == 0.0f)
            return fail(index, name, text, "must not be 0.");
        const auto gray = toSingle(255.0 / static_cast<double>(v));
        if (!gray)
            return fail(
                index, name, text, "is too close to 0 (255 divided by it exceeds about 3.4e38).");
        values.uMax = v;
        values.grayScale = *gray;
        return true;
    }
    case BoxField::VMax:
        if (v == 0.0f)
            return fail(index, name, text, "must not be 0.");
        values.vMax = v;
        return true;
    case BoxField::Du:
        values.Du = v;
        return diffusion(v, values.cu, values.su, index, name, text);
    case BoxField::Dv:
        values.Dv = v;
        return diffusion(v, values.cv, values.sv, index, name, text);
    case BoxField::KA:
        values.kA = v;
        return true;
    case BoxField::KB:
        values.kB = v;
        return true;
    case BoxField::KC:
        // An Oregonator kC of 0 is the user's to try: the run then ends with a
        // division by zero at its first step, explained as such.
        values.kC = v;
        return true;
    case BoxField::ScalingFactor:
        break;
    }
    return true;
}

bool Reader::readParameter(int index, std::string_view name, const std::string& text, float& out)
{
    const ParsedNumber<float> n = parseFloat(text);
    if (!n.ok())
        return fail(index, name, text, parseComplaint(n.status, kSingleTooLarge));
    out = n.value;
    return true;
}

} // namespace intake

IntakeInput defaultIntakeInput(Model model, bool oneD)
{
    return { std::string(kDefaultItersText), std::string(kDefaultSizeText), model,
        defaultBoxTexts(model), oneD };
}

std::variant<IntakeValues, IntakeError> evaluateIntake(const IntakeInput& input, float dt, float dx)
{
    intake::Reader reader(input.itersText, input.sizeText, input.sizeLimit, input.oneD, dt, dx);
    bool ok = reader.readIters() && reader.readSize();
    for (const BoxInfo& box : modelInfo(input.model).boxes) {
        if (!ok)
            break;
        ok = reader.readBox(box.field, boxIndex(input.model, box.slot), box.name,
            input.boxes[static_cast<std::size_t>(box.slot)]);
    }
    if (!ok)
        return std::move(*reader.error);
    return reader.values;
}

std::variant<StepSizes, IntakeError> evaluateStepSizes(
    std::string_view dtText, std::string_view dxText)
{
    StepSizes sizes;
    for (const auto& [index, name, text, target] :
        { std::tuple { kDtBox, kDtName, dtText, &sizes.dt },
            std::tuple { kDxBox, kDxName, dxText, &sizes.dx } }) {
        const ParsedNumber<float> n = parseFloat(text);
        if (!n.ok())
            return refuse(index, name, text, parseComplaint(n.status, kSingleTooLarge));
        // A step backwards in time or a cell of no size is no scheme; the step's own
        // stability is the analysis's to judge (numerically unstable).
        if (!(n.value > 0.0f))
            return refuse(index, name, text, "must be greater than 0.");
        *target = n.value;
    }
    return sizes;
}

void applyIntake(SimState& state, const IntakeValues& values)
{
    state.itersPerImage = values.itersPerImage;
    state.phaseA = kTrue;
    state.lastIdx = values.lastIdx;
    state.nCells = values.nCells;
    state.lastInner = values.lastInner;
    state.dt = values.dt;
    state.dx = values.dx;
    state.uMax = values.uMax;
    state.vMax = values.vMax;
    state.reactGain = values.reactGain;
    state.Du = values.Du;
    state.Dv = values.Dv;
    state.kA = values.kA;
    state.kB = values.kB;
    if (values.kC)
        state.kC = *values.kC;
    state.cu = values.cu;
    state.cv = values.cv;
    state.grayScale = values.grayScale;
    state.su = values.su;
    state.sv = values.sv;
}

} // namespace rd
