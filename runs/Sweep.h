// Sweeps: the values of a setting evenly spaced between two ends, as texts for the intake,
// and every combination of several settings' values.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace rd::runs {

// The most values one setting of a sweep or one axis of a map takes.
inline constexpr std::int64_t kMaxSweepCount = 10000;

// `count` values from `from` to `to`, both ends included: the ends exactly (their shortest
// text), the values between to 15 digits, so that binary noise (0.030000000000000002) stays
// out of file names. Throws std::invalid_argument ("gives the value 0.1 more than once")
// when two values have one text.
std::vector<std::string> evenlySpaced(double from, double to, std::int64_t count);

// `count` whole numbers from `from` to `to` (upwards or downwards), both ends included, evenly
// spaced: the seeds of an ensemble. Throws std::invalid_argument when the spacing
// (to - from) / (count - 1) is not whole.
std::vector<std::uint64_t> evenlySpacedWhole(
    std::uint64_t from, std::uint64_t to, std::int64_t count);

// All combinations of the settings' values, in order: the last setting varies fastest.
std::vector<std::vector<std::string>> combinations(
    const std::vector<std::vector<std::string>>& values);

} // namespace rd::runs
