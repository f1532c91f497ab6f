// The options that style the field pictures: --colormap, --range, --zoom and --species.
#include "batch/OptionText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace rd::batch {

using pictures::colormapByName;
using pictures::colormapNamesText;

namespace {

constexpr int kMaxZoom = 64;

std::optional<float> finiteFloat(std::string_view text)
{
    float v {};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size()
        || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

bool parsePictureOption(PictureStyle& style, std::string_view name, std::string_view value)
{
    if (name == "--colormap") {
        const auto map = colormapByName(value);
        if (!map)
            refuse(name, value, "unknown colour table (" + colormapNamesText() + ")");
        style.colormap = *map;
    } else if (name == "--range") {
        if (value == "auto") {
            style.autoRange = true;
            return true;
        }
        const auto colon = value.find(':');
        const auto lo
            = colon == std::string_view::npos ? std::nullopt : finiteFloat(value.substr(0, colon));
        const auto hi = lo ? finiteFloat(value.substr(colon + 1)) : std::nullopt;
        if (!hi)
            refuse(name, value, "expected auto or LO:HI with two finite numbers");
        if (!(*lo < *hi))
            refuse(name, value, "LO must be below HI");
        style.range = std::pair { *lo, *hi };
    } else if (name == "--zoom") {
        const auto k = wholeNumber<int>(value);
        if (!k || *k < 1 || *k > kMaxZoom)
            refuse(name, value, "not a whole number from 1 to " + std::to_string(kMaxZoom));
        style.zoom = *k;
    } else if (name == "--species") {
        if (value != "u" && value != "v")
            refuse(name, value, "the species is u or v");
        style.species = value.front();
    } else {
        return false;
    }
    return true;
}

void checkPictureOptions(const Options& o, const std::vector<std::string>& given)
{
    static constexpr std::string_view styling[]
        = { "--colormap", "--range", "--zoom", "--species", "--colorbar", "--annotate" };
    for (const std::string_view option : styling) {
        if (std::find(given.begin(), given.end(), option) == given.end())
            continue;
        if (o.image.empty() && o.kymograph.empty() && o.movie.empty())
            throw UsageError(std::string(option)
                + ": styles the pictures; needs --image, --kymograph or --movie");
        if (option == "--species" && o.oneD)
            throw UsageError("--species: a 1D run's pictures show both species already");
    }
}

} // namespace rd::batch
