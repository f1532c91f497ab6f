// The discrete dispersion relation of the step: for each Laplacian eigenmode of the mirrored
// grid, the 2x2 matrix that multiplies a small perturbation of a steady state in one step.
#pragma once

#include "analysis/Scheme.h"

#include <vector>

namespace rd::analysis {

struct ModeMatrix {
    double a, b, c, d; // [[a, b], [c, d]]
};

struct Amplification {
    double rho; // spectral radius: the growth factor per step
    bool complex; // a complex pair: the mode oscillates while it grows or decays
    double high, low; // the eigenvalues (real) or real and imaginary part (complex)
    double lowestReal() const { return complex ? high : low; }
};

Amplification amplification(const ModeMatrix& m);

// The eigenvalue -4 sin^2(pi k / (2 (n - 1))) of mode k on a mirrored line of n >= 2 cells.
double lineEigenvalue(int k, int n);
// The wavelength in cells of a Laplacian eigenvalue along a grid axis: pi / asin(sqrt(-l/4)),
// infinite at 0 and 2 cells at -4 and below.
double wavelengthOfEigenvalue(double lambda);

// The step linearised at one steady state.
class Linearisation {
public:
    Linearisation(const Scheme& s, const Jacobian& j);
    ModeMatrix at(double lambda) const;
    Amplification growth(double lambda) const { return amplification(at(lambda)); }
    double cu() const { return cu_; }
    double cv() const { return cv_; }
    const ModeMatrix& uniform() const { return m0_; }

private:
    ModeMatrix m0_;
    double cu_, cv_;
};

// Every mode of an n-cell line or n x n square (n >= 2), ascending in eigenvalue. In 2D a
// pair and its mirror (ky, kx) share one entry, kx <= ky.
struct GridMode {
    double lambda;
    int kx, ky;
};
class ModeTable {
public:
    ModeTable(int n, bool oneD);
    int n() const { return n_; }
    bool oneD() const { return oneD_; }
    const std::vector<GridMode>& modes() const { return modes_; }
    // The entries next to lambda: the last one below and the first one at or above it.
    std::pair<const GridMode*, const GridMode*> around(double lambda) const;

private:
    int n_;
    bool oneD_;
    std::vector<GridMode> modes_;
};

struct ModeGrowth {
    GridMode mode {};
    Amplification growth {};
};

struct Extremes {
    ModeGrowth fastest; // the largest growth factor of the grid
    double lowestReal = 0; // the most negative real part of any mode's eigenvalues
};

// The grid's extremes from the continuous ones: the function of lambda is monotone between
// its stationary points, real/complex changes and ends, so the best grid mode is next to one
// of those few points. Cheap enough to call for every point of a parameter map.
Extremes gridExtremes(const Linearisation& lin, const ModeTable& table);
// The reference: every mode of the grid.
Extremes gridExtremesByScan(const Linearisation& lin, const ModeTable& table);

// The largest spectral radius over lambda in [lambdaMin, 0], and where it is.
struct ContinuousMaximum {
    double lambda, rho;
};
ContinuousMaximum continuousMaximum(const Linearisation& lin, double lambdaMin);

// The lambda intervals of [lambdaMin, 0] where the spectral radius exceeds 1 + tolerance.
struct Band {
    double lambdaLow, lambdaHigh;
};
std::vector<Band> unstableBands(const Linearisation& lin, double lambdaMin, double tolerance);

} // namespace rd::analysis
