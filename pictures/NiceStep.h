// Tick spacing for the plots, maps and colour bars the tool draws.
#pragma once

#include <cmath>
#include <vector>

namespace rd::pictures {

// A step of 1, 2 or 5 times a power of ten giving about `count` intervals.
inline double niceStep(double span, int count)
{
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : { 1.0, 2.0, 5.0 })
        if (m * power >= raw)
            return m * power;
    return 10.0 * power;
}

// The multiples of `step` from lo to hi (an end that is one included, within rounding),
// where the ticks of an axis or a colour bar go; a multiple within rounding of 0 is 0.
inline std::vector<double> roundTicks(double lo, double hi, double step)
{
    std::vector<double> ticks;
    for (double v = std::ceil(lo / step) * step; v <= hi + step * 1e-9; v += step)
        ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    return ticks;
}

// The significant digits that tell apart the ticks `step` apart of values up to `largest` in
// magnitude: 4, or more where the span is narrow against the values (0.000845001).
inline int tickDigits(double largest, double step)
{
    if (!(step > 0.0) || !(largest > 0.0))
        return 4;
    const double digits = std::floor(std::log10(largest)) - std::floor(std::log10(step)) + 1.0;
    return digits > 4.0 ? static_cast<int>(std::min(digits, 15.0)) : 4;
}

} // namespace rd::pictures
