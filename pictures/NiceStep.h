// Tick spacing for the plots and maps the tool draws.
#pragma once

#include <cmath>

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

} // namespace rd::pictures
