// The values of a --sweep: evenly spaced from FROM to TO, as texts for the intake.
#include "batch/OptionText.h"

#include "settings/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rd::batch {

namespace {

constexpr std::int32_t kMaxSweepCount = 10000;

// Shortest decimal text that reads back as exactly this double.
std::string shortestText(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string fifteenDigits(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

} // namespace

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
    if (!count || *count < 1 || *count > kMaxSweepCount)
        refuse(option, arg,
            "COUNT must be a whole number from 1 to " + std::to_string(kMaxSweepCount));
    if (*count == 1 && from.value != to.value)
        refuse(option, arg, "a COUNT of 1 needs FROM equal to TO");
    std::vector<std::string> values;
    for (std::int64_t k = 0; k < *count; ++k) {
        // The ends are FROM and TO exactly (lerp is exact there); the values between are
        // given to 15 digits, so binary noise (0.030000000000000002) stays out of the names.
        const double t = *count == 1 ? 0.0 : double(k) / double(*count - 1);
        const double value = std::lerp(from.value, to.value, t);
        const bool end = k == 0 || k == *count - 1;
        const std::string text = end ? shortestText(value) : fifteenDigits(value);
        if (std::find(values.begin(), values.end(), text) != values.end())
            refuse(option, arg, "gives the value " + text + " more than once");
        values.push_back(text);
    }
    return values;
}

} // namespace rd::batch
