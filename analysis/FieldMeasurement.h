// Measuring a field: its power in the grid's own cosine modes (a DCT-I, which matches the
// mirrored edges), the dominant wavelength and the contrast.
#pragma once

#include <cmath>
#include <span>
#include <vector>

namespace rd::analysis {

// Contrast, relative to the field's magnitude, below which a field counts as flat.
inline constexpr double kFlatContrast = 1e-6;

struct Measurement {
    // Power summed over the modes whose |k| rounds to the bin's index; bin 0 (the mean) is
    // left empty.
    std::vector<double> radialPower;
    double wavenumber = 0; // refined |k| of the strongest bin; 0 for a flat field
    double wavelength = INFINITY; // cells: 2 (N - 1) / wavenumber
    double contrast = 0; // max - min of the field
};

// A line of n cells (field.size() == n) or an n x n square (rows of n), n >= 2.
Measurement measureField(std::span<const float> field, int n, bool oneD);

} // namespace rd::analysis
