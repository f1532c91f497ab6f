// A whole decimal number without sign, spaces or exponent: counts, seeds and indices as
// typed on a command line or written in a file name or a record.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace rd {

template <typename T> inline std::optional<T> wholeNumber(std::string_view text)
{
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    T v {};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

} // namespace rd
