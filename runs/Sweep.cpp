#include "runs/Sweep.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace rd::runs {

namespace {

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

std::vector<std::string> evenlySpaced(double from, double to, std::int64_t count)
{
    std::vector<std::string> values;
    for (std::int64_t k = 0; k < count; ++k) {
        // lerp is exact at both ends.
        const double t = count == 1 ? 0.0 : double(k) / double(count - 1);
        const double value = std::lerp(from, to, t);
        const bool end = k == 0 || k == count - 1;
        const std::string text = end ? shortestText(value) : fifteenDigits(value);
        if (std::find(values.begin(), values.end(), text) != values.end())
            throw std::invalid_argument("gives the value " + text + " more than once");
        values.push_back(text);
    }
    return values;
}

std::vector<std::uint64_t> evenlySpacedWhole(
    std::uint64_t from, std::uint64_t to, std::int64_t count)
{
    if (count < 1)
        throw std::invalid_argument("gives no value");
    const std::uint64_t span = to >= from ? to - from : from - to;
    const auto gaps = static_cast<std::uint64_t>(count - 1);
    if (gaps == 0 && span != 0)
        throw std::invalid_argument("gives one value, which needs equal ends");
    if (gaps > 0 && span % gaps != 0)
        throw std::invalid_argument("does not give whole numbers: the ends are "
            + std::to_string(span) + " apart, not a multiple of the " + std::to_string(gaps)
            + " gaps between the values");
    if (gaps > 0 && span == 0)
        throw std::invalid_argument("gives the value " + std::to_string(from) + " more than once");
    const std::uint64_t step = gaps == 0 ? 0 : span / gaps;
    std::vector<std::uint64_t> values;
    for (std::uint64_t k = 0; k <= gaps; ++k)
        values.push_back(to >= from ? from + k * step : from - k * step);
    return values;
}

std::vector<std::vector<std::string>> combinations(
    const std::vector<std::vector<std::string>>& values)
{
    std::vector<std::vector<std::string>> all { {} };
    for (const auto& setting : values) {
        std::vector<std::vector<std::string>> next;
        for (const auto& partial : all)
            for (const std::string& v : setting) {
                next.push_back(partial);
                next.back().push_back(v);
            }
        all = std::move(next);
    }
    return all;
}

} // namespace rd::runs
