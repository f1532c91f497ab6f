// How a picture box turns coordinates into pixels and draws a line: the one set of rules
// for the window's boxes and for pictures made without a window. Plain C++.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace rd::pixels {

// Far enough outside any image that clamping a coordinate there changes no drawn pixel of
// an axis-parallel line, small enough that the line arithmetic cannot overflow.
inline constexpr double kFarAway = 1 << 24;

// Nearest pixel, halves to the even neighbour (the default rounding mode); empty for a
// coordinate that is not a finite number.
inline std::optional<std::int64_t> round(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    v = std::clamp(v, -kFarAway, kFarAway);
    return static_cast<std::int64_t>(std::nearbyint(v));
}

// A coordinate of a user scale whose near edge is `from` and far edge `to`, across
// `extent` pixels.
inline std::optional<std::int64_t> fromScale(float v, float from, float to, int extent)
{
    const double f = from;
    return round((double(v) - f) * extent / (double(to) - f));
}

// The pixels a line set, as a bounding box; empty when it set none.
struct Box {
    std::int64_t minX = 1, minY = 1, maxX = 0, maxY = 0;
    bool empty() const { return minX > maxX || minY > maxY; }
    void add(std::int64_t x, std::int64_t y)
    {
        if (empty()) {
            minX = maxX = x;
            minY = maxY = y;
            return;
        }
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
};

// A one-pixel line from (x0, y0) towards (x1, y1): the start point is drawn, the end point
// is not. set(x, y) is called for each pixel inside a width x height image.
template <typename Set>
Box line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::int64_t width,
    std::int64_t height, Set&& set)
{
    Box drawn;
    const auto put = [&](std::int64_t x, std::int64_t y) {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        set(x, y);
        drawn.add(x, y);
    };
    if (x0 == x1 || y0 == y1) {
        // Axis-parallel: visit only the pixels inside the image.
        const bool vertical = x0 == x1;
        const std::int64_t from = vertical ? y0 : x0, to = vertical ? y1 : x1;
        if (from == to)
            return drawn;
        const std::int64_t last = to > from ? to - 1 : to + 1;
        const std::int64_t limit = (vertical ? height : width) - 1;
        const std::int64_t a = std::max<std::int64_t>(std::min(from, last), 0);
        const std::int64_t b = std::min<std::int64_t>(std::max(from, last), limit);
        for (std::int64_t p = a; p <= b; ++p)
            vertical ? put(x0, p) : put(p, y0);
        return drawn;
    }
    // General direction: Bresenham over the major axis, end point excluded.
    const std::int64_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const std::int64_t sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
    // Lines this long only come from coordinates far outside the image; cap the walk.
    const std::int64_t steps = std::min<std::int64_t>(std::max(dx, dy), 4 * (width + height) + 8);
    std::int64_t x = x0, y = y0, err = dx - dy;
    for (std::int64_t n = 0; n < steps; ++n) {
        put(x, y);
        const std::int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
    return drawn;
}

} // namespace rd::pixels
