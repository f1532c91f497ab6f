// Fuzz target for reading box texts and for the intake's checks. Every accepted text must
// carry exactly the value that the C library's own conversion gives in the "C" locale, the
// notation must be exactly the documented one, and no input may crash or escape the checks.
//
// Input layout: byte 0 chooses the model (bits 0-1), the dimension (bit 2) and the box that
// receives the text (bits 3-7 modulo 10: 0..7 a model slot, 8 Text2, 9 Text3); the rest is the
// text. The other boxes keep their start-up texts.
#include "settings/Intake.h"
#include "settings/NumberText.h"

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <regex>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void failWith(const char* what, std::string_view text)
{
    std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(text.size()), text.data());
    std::abort();
}

void check(bool condition, const char* what, std::string_view text)
{
    if (!condition)
        failWith(what, text);
}

locale_t cLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

std::string trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

// The documented notation, written independently of the scanner under test.
bool matchesNotation(const std::string& text)
{
    static const std::regex notation(
        R"([ \t]*[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*)");
    return std::regex_match(text, notation);
}

template <typename T> void checkConversion(const rd::ParsedNumber<T>& got, const std::string& text)
{
    const std::string core = trimmed(text);
    if (core.empty()) {
        check(got.status == rd::NumberStatus::Empty, "blank text not reported empty", text);
        return;
    }
    // The regex engine recurses per character; keep it to texts a box would hold.
    if (text.size() > 400) {
        if (got.status != rd::NumberStatus::Ok)
            return;
    } else {
        const bool valid = matchesNotation(text);
        check(valid == (got.status != rd::NumberStatus::NotANumber),
            "notation accepted or refused wrongly", text);
        if (!valid)
            return;
    }
    T expected;
    if constexpr (sizeof(T) == sizeof(float))
        expected = strtof_l(core.c_str(), nullptr, cLocale());
    else
        expected = strtod_l(core.c_str(), nullptr, cLocale());
    if (std::isinf(expected)) {
        check(got.status == rd::NumberStatus::TooLarge, "overflow not refused", text);
        return;
    }
    check(got.status == rd::NumberStatus::Ok, "representable number refused", text);
    check(std::bit_cast<
              std::make_unsigned_t<std::conditional_t<sizeof(T) == 4, std::int32_t, std::int64_t>>>(
              got.value)
            == std::bit_cast<std::make_unsigned_t<
                std::conditional_t<sizeof(T) == 4, std::int32_t, std::int64_t>>>(expected),
        "value differs from the C library", text);
}

void checkRounding(double d, std::string_view text)
{
    const auto r = rd::roundHalfEven(d);
    const double n = std::nearbyint(d);
    const bool inRange = std::isfinite(d) && n >= -2147483648.0 && n <= 2147483647.0;
    check(r.has_value() == inRange, "rounding range wrong", text);
    if (!r)
        return;
    const double diff = std::fabs(static_cast<double>(*r) - d);
    check(diff <= 0.5, "rounding not to nearest", text);
    if (diff == 0.5)
        check(*r % 2 == 0, "half not rounded to even", text);
}

bool allFinite(const rd::IntakeValues& v)
{
    for (float f : { v.uMax, v.vMax, v.reactGain, v.Du, v.Dv, v.kA, v.kB, v.cu, v.cv, v.su, v.sv,
             v.grayScale })
        if (!std::isfinite(f))
            return false;
    return !v.kC || std::isfinite(*v.kC);
}

void checkIntake(std::uint8_t control, const std::string& text)
{
    const auto model = static_cast<rd::Model>(control & 3);
    const bool oneD = (control & 4) != 0;
    const int target = (control >> 3) % 10;
    rd::IntakeInput in = rd::defaultIntakeInput(model, oneD);
    int expectedIndex;
    if (target == 8) {
        in.itersText = text;
        expectedIndex = rd::kItersBox;
    } else if (target == 9) {
        in.sizeText = text;
        expectedIndex = rd::kSizeBox;
    } else {
        in.boxes[static_cast<std::size_t>(target)] = text;
        expectedIndex = rd::boxIndex(model, target);
    }

    const auto result = rd::evaluateIntake(in, 1.0f, 0.01f);
    if (const auto* e = std::get_if<rd::IntakeError>(&result)) {
        check(e->boxIndex == expectedIndex, "refusal names another box", text);
        check(e->typed == text, "refusal does not keep the typed text", text);
        check(e->message.starts_with(e->boxName + ": "), "message does not name the box", text);
        return;
    }
    const auto& v = std::get<rd::IntakeValues>(result);
    check(allFinite(v), "accepted intake holds a non-finite value", text);
    check(v.nCells >= 1 && v.nCells <= 129 && v.lastIdx == v.nCells - 1
            && v.lastInner == v.nCells - 2,
        "sizes out of their invariants", text);
    check(v.itersPerImage != 0, "zero redraw period accepted", text);
    check(v.uMax != 0.0f && v.vMax != 0.0f, "zero range accepted", text);
    if (target < 8 && static_cast<std::size_t>(target) < rd::modelInfo(model).boxes.size()) {
        const rd::BoxInfo& box = rd::modelInfo(model).boxes[static_cast<std::size_t>(target)];
        const auto f = rd::parseFloat(text);
        const float expected = box.field == rd::BoxField::ScalingFactor
            ? static_cast<float>(rd::parseDouble(text).value * 1.0)
            : f.value;
        float got = 0;
        switch (box.field) {
        case rd::BoxField::UMax:
            got = v.uMax;
            break;
        case rd::BoxField::VMax:
            got = v.vMax;
            break;
        case rd::BoxField::ScalingFactor:
            got = v.reactGain;
            break;
        case rd::BoxField::Du:
            got = v.Du;
            break;
        case rd::BoxField::Dv:
            got = v.Dv;
            break;
        case rd::BoxField::KA:
            got = v.kA;
            break;
        case rd::BoxField::KB:
            got = v.kB;
            break;
        case rd::BoxField::KC:
            got = *v.kC;
            break;
        }
        check(std::bit_cast<std::uint32_t>(got) == std::bit_cast<std::uint32_t>(expected),
            "accepted box does not hold its converted text", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    checkConversion(rd::parseFloat(text), text);
    const auto d = rd::parseDouble(text);
    checkConversion(d, text);
    if (d.ok())
        checkRounding(d.value, text);
    checkIntake(data[0], text);
    return 0;
}
