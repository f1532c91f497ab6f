// The values of a --sweep or a map's axis: FROM:TO:COUNT as texts for the intake.
#include "batch/OptionText.h"

#include "runs/Sweep.h"
#include "settings/NumberText.h"

#include <stdexcept>

namespace rd::batch {

namespace {

constexpr std::string_view kOption = "--sweep";

// FROM, TO and COUNT of FROM:TO:COUNT, as texts.
struct Range {
    std::string_view from, to, count;
};

Range splitRange(std::string_view arg, std::string_view range, std::string_view expected)
{
    const auto c1 = range.find(':');
    const auto c2 = c1 == std::string_view::npos ? c1 : range.find(':', c1 + 1);
    if (c2 == std::string_view::npos || range.find(':', c2 + 1) != std::string_view::npos)
        refuse(kOption, arg, "expected " + std::string(expected));
    return { range.substr(0, c1), range.substr(c1 + 1, c2 - c1 - 1), range.substr(c2 + 1) };
}

std::int64_t sweepCount(std::string_view arg, std::string_view text)
{
    const auto count = wholeNumber<std::int64_t>(text);
    if (!count || *count < 1 || *count > runs::kMaxSweepCount)
        refuse(kOption, arg,
            "COUNT must be a whole number from 1 to " + std::to_string(runs::kMaxSweepCount));
    return *count;
}

} // namespace

std::vector<std::string> sweepValues(std::string_view arg, std::string_view range)
{
    const Range r = splitRange(arg, range, "NAME=FROM:TO:COUNT");
    const auto from = parseDouble(r.from);
    const auto to = parseDouble(r.to);
    if (!from.ok() || !to.ok())
        refuse(kOption, arg, "FROM and TO must be numbers");
    const auto count = sweepCount(arg, r.count);
    if (count == 1 && from.value != to.value)
        refuse(kOption, arg, "a COUNT of 1 needs FROM equal to TO");
    try {
        return runs::evenlySpaced(from.value, to.value, count);
    } catch (const std::invalid_argument& e) {
        refuse(kOption, arg, e.what());
    }
}

std::vector<std::string> seedSweepValues(std::string_view arg, std::string_view range)
{
    const Range r = splitRange(arg, range, "seed=FROM:TO:COUNT");
    const auto from = wholeNumber<std::uint64_t>(r.from);
    const auto to = wholeNumber<std::uint64_t>(r.to);
    if (!from || !to)
        refuse(
            kOption, arg, "the seeds FROM and TO are whole numbers from 0 to 18446744073709551615");
    const auto count = sweepCount(arg, r.count);
    if (count == 1 && *from != *to)
        refuse(kOption, arg, "a COUNT of 1 needs FROM equal to TO");
    try {
        std::vector<std::string> texts;
        for (const std::uint64_t seed : runs::evenlySpacedWhole(*from, *to, count))
            texts.push_back(std::to_string(seed));
        return texts;
    } catch (const std::invalid_argument& e) {
        refuse(kOption, arg, e.what());
    }
}

} // namespace rd::batch
