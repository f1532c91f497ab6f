// The values of a --sweep or a map's axis: FROM:TO:COUNT as texts for the intake.
#include "batch/OptionText.h"

#include "runs/Sweep.h"
#include "settings/NumberText.h"

#include <stdexcept>

namespace rd::batch {

std::vector<std::string> sweepValues(std::string_view arg, std::string_view range)
{
    constexpr std::string_view option = "--sweep";
    const auto c1 = range.find(':');
    const auto c2 = c1 == std::string_view::npos ? c1 : range.find(':', c1 + 1);
    if (c2 == std::string_view::npos || range.find(':', c2 + 1) != std::string_view::npos)
        refuse(option, arg, "expected NAME=FROM:TO:COUNT");
    const auto from = parseDouble(range.substr(0, c1));
    const auto to = parseDouble(range.substr(c1 + 1, c2 - c1 - 1));
    if (!from.ok() || !to.ok())
        refuse(option, arg, "FROM and TO must be numbers");
    const auto count = wholeNumber<std::int64_t>(range.substr(c2 + 1));
    if (!count || *count < 1 || *count > runs::kMaxSweepCount)
        refuse(option, arg,
            "COUNT must be a whole number from 1 to " + std::to_string(runs::kMaxSweepCount));
    if (*count == 1 && from.value != to.value)
        refuse(option, arg, "a COUNT of 1 needs FROM equal to TO");
    try {
        return runs::evenlySpaced(from.value, to.value, *count);
    } catch (const std::invalid_argument& e) {
        refuse(option, arg, e.what());
    }
}

std::vector<std::string> seedSweepValues(std::string_view arg, std::string_view range)
{
    constexpr std::string_view option = "--sweep";
    const auto c1 = range.find(':');
    const auto c2 = c1 == std::string_view::npos ? c1 : range.find(':', c1 + 1);
    if (c2 == std::string_view::npos || range.find(':', c2 + 1) != std::string_view::npos)
        refuse(option, arg, "expected seed=FROM:TO:COUNT");
    const auto from = wholeNumber<std::uint64_t>(range.substr(0, c1));
    const auto to = wholeNumber<std::uint64_t>(range.substr(c1 + 1, c2 - c1 - 1));
    if (!from || !to)
        refuse(
            option, arg, "the seeds FROM and TO are whole numbers from 0 to 18446744073709551615");
    const auto count = wholeNumber<std::int64_t>(range.substr(c2 + 1));
    if (!count || *count < 1 || *count > runs::kMaxSweepCount)
        refuse(option, arg,
            "COUNT must be a whole number from 1 to " + std::to_string(runs::kMaxSweepCount));
    if (*count == 1 && *from != *to)
        refuse(option, arg, "a COUNT of 1 needs FROM equal to TO");
    try {
        std::vector<std::string> texts;
        for (const std::uint64_t seed : runs::evenlySpacedWhole(*from, *to, *count))
            texts.push_back(std::to_string(seed));
        return texts;
    } catch (const std::invalid_argument& e) {
        refuse(option, arg, e.what());
    }
}

} // namespace rd::batch
