// Measuring a field: its power in the grid's own cosine modes (a DCT-I, which matches the
// mirrored edges), the dominant wavelength and the contrast.
#pragma once

#include <cmath>
#include <span>
#include <vector>

namespace rd::analysis {

// A field whose contrast is at most this many units in the last place of its largest
// magnitude is flat: what is left there is rounding, not a pattern. Converged uniform fields
// of Gray-Scott keep up to about 100 ulps of rounding spread (the noisiest near a weakly
// damped focus), while the faintest patterns of the same maps stand a million ulps apart;
// 1024 (a contrast of 6e-5 to 1.2e-4 of the largest value) leaves a factor of ten above the
// first and a thousand below the second.
inline constexpr double kFlatUlps = 1024;

// The spacing of single-precision numbers at the magnitude |x| (the smallest subnormal at 0).
double ulpAt(double x);

struct Flatness {
    double contrast = 0; // max - min of the field
    double floor = 0; // kFlatUlps ulps of the larger of the field's largest |value| and the scale
    bool flat = true; // contrast <= floor
};

// `scale` is a magnitude the field's values held of late (a run's largest |u| over its recent
// checks), 0 for none: rounding made at the top of an oscillation survives as the field
// shrinks, so the floor is taken at the larger of that and the field's own largest |value|.
Flatness flatness(std::span<const float> field, double scale = 0);

struct Measurement {
    // Power summed over the modes whose |k| rounds to the bin's index; bin 0 (the mean) is
    // left empty.
    std::vector<double> radialPower;
    double wavenumber = 0; // refined |k| of the strongest bin; 0 for a flat field
    double wavelength = INFINITY; // cells: 2 (N - 1) / wavenumber; infinite for a flat field
    double contrast = 0; // max - min of the field
    double flatFloor = 0; // the contrast at or below which the field counts as flat
    bool flat = true;
};

// A line of n cells (field.size() == n) or an n x n square (rows of n), n >= 2; `scale` as
// for flatness().
Measurement measureField(std::span<const float> field, int n, bool oneD, double scale = 0);

} // namespace rd::analysis
