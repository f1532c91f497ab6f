// Frame names: the one printf-style "%d" of a frame sequence's file name, and "%%" for a
// percent sign in every output name.
#include "batch/OptionText.h"

namespace rd::batch {

namespace {

// A printf-style "%d" with optional 0 flag and width, and "%%" for a percent sign.
struct Conversion {
    std::size_t start = std::string_view::npos, end = 0;
    bool zeroPad = false;
    int width = 0;
};

Conversion findConversion(std::string_view name, std::string_view option = "--image")
{
    Conversion found;
    for (std::size_t p = 0; p < name.size(); ++p) {
        if (name[p] != '%')
            continue;
        if (p + 1 < name.size() && name[p + 1] == '%') {
            ++p;
            continue;
        }
        std::size_t q = p + 1;
        Conversion c;
        c.start = p;
        if (q < name.size() && name[q] == '0') {
            c.zeroPad = true;
            ++q;
        }
        while (q < name.size() && name[q] >= '0' && name[q] <= '9' && c.width < 100)
            c.width = c.width * 10 + (name[q++] - '0');
        if (q >= name.size() || name[q] != 'd' || c.width > 20)
            refuse(option, name, "a % must start %d, %0Nd or %% (for example frame-%05d.png)");
        if (found.start != std::string_view::npos)
            refuse(option, name, "holds more than one %d");
        c.end = q + 1;
        found = c;
        p = q;
    }
    return found;
}

} // namespace

bool hasFrameConversion(std::string_view name, std::string_view option)
{
    return findConversion(name, option).start != std::string_view::npos;
}

FrameNameParts frameNameParts(std::string_view name)
{
    const Conversion c = findConversion(name);
    if (c.start == std::string_view::npos)
        return { formatFrameName(name, 0), {} };
    return { formatFrameName(name.substr(0, c.start), 0), formatFrameName(name.substr(c.end), 0) };
}

std::string formatFrameName(std::string_view name, std::int64_t index)
{
    const Conversion c = findConversion(name);
    std::string out;
    auto literal = [&out](std::string_view part) {
        for (std::size_t p = 0; p < part.size(); ++p) {
            out += part[p];
            if (part[p] == '%' && p + 1 < part.size() && part[p + 1] == '%')
                ++p;
        }
    };
    if (c.start == std::string_view::npos) {
        literal(name);
        return out;
    }
    literal(name.substr(0, c.start));
    std::string digits = std::to_string(index);
    if (static_cast<int>(digits.size()) < c.width)
        digits.insert(0, static_cast<std::size_t>(c.width) - digits.size(), c.zeroPad ? '0' : ' ');
    out += digits;
    literal(name.substr(c.end));
    return out;
}

} // namespace rd::batch
