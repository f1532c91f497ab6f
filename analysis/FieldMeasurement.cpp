#include "analysis/FieldMeasurement.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace rd::analysis {

namespace {

// FFTW's planner is not thread-safe; the transforms themselves are.
std::mutex plannerMutex;

struct PlanDeleter {
    void operator()(fftw_plan_s* p) const
    {
        const std::lock_guard lock(plannerMutex);
        fftw_destroy_plan(p);
    }
};

} // namespace

double ulpAt(double x)
{
    int exponent = 0;
    std::frexp(std::abs(x), &exponent); // |x| in [2^(e-1), 2^e), or e = 0 for x = 0
    // 24 significant bits; never finer than the smallest subnormal, 2^-149.
    return x == 0.0 ? std::ldexp(1.0, -149) : std::ldexp(1.0, std::max(exponent - 24, -149));
}

Flatness flatness(std::span<const float> field, double scale)
{
    Flatness f;
    if (field.empty())
        return f;
    const auto [lo, hi] = std::minmax_element(field.begin(), field.end());
    f.contrast = static_cast<double>(*hi) - static_cast<double>(*lo);
    const double largest = std::max({ std::abs(double(*lo)), std::abs(double(*hi)), scale });
    f.floor = kFlatUlps * ulpAt(largest);
    f.flat = f.contrast <= f.floor;
    return f;
}

Measurement measureField(std::span<const float> field, int n, bool oneD, double scale)
{
    if (n < 2)
        throw std::invalid_argument("a spectrum needs at least 2 cells");
    const std::size_t count = oneD ? std::size_t(n) : std::size_t(n) * std::size_t(n);
    if (field.size() != count)
        throw std::invalid_argument("field size does not match the grid");

    Measurement m;
    const Flatness f = flatness(field, scale);
    m.contrast = f.contrast;
    m.flatFloor = f.floor;
    m.flat = f.flat;

    std::unique_ptr<double, decltype(&fftw_free)> in(fftw_alloc_real(count), &fftw_free);
    std::unique_ptr<double, decltype(&fftw_free)> out(fftw_alloc_real(count), &fftw_free);
    if (!in || !out)
        throw std::bad_alloc();
    std::unique_ptr<fftw_plan_s, PlanDeleter> plan;
    {
        const std::lock_guard lock(plannerMutex);
        plan.reset(oneD ? fftw_plan_r2r_1d(n, in.get(), out.get(), FFTW_REDFT00, FFTW_ESTIMATE)
                        : fftw_plan_r2r_2d(
                            n, n, in.get(), out.get(), FFTW_REDFT00, FFTW_REDFT00, FFTW_ESTIMATE));
    }
    std::transform(
        field.begin(), field.end(), in.get(), [](float x) { return static_cast<double>(x); });
    fftw_execute(plan.get());

    // Bins of |k| reach (n - 1) sqrt(2) in 2D.
    const int rows = oneD ? 1 : n;
    const std::size_t bins = static_cast<std::size_t>(std::ceil((n - 1) * std::sqrt(2.0))) + 2;
    m.radialPower.assign(bins, 0.0);
    std::vector<double> weightedK(bins, 0.0);
    for (int ky = 0; ky < rows; ++ky)
        for (int kx = 0; kx < n; ++kx) {
            if (kx == 0 && ky == 0)
                continue;
            const double x = out.get()[std::size_t(ky) * std::size_t(n) + std::size_t(kx)];
            const double k = std::hypot(kx, ky);
            const auto bin = static_cast<std::size_t>(std::lround(k));
            m.radialPower[bin] += x * x;
            weightedK[bin] += x * x * k;
        }
    // A flat field has no wavelength: what the transform finds there is rounding.
    const auto peak = std::max_element(m.radialPower.begin(), m.radialPower.end());
    if (*peak <= 0.0 || m.flat) {
        m.flat = true;
        return m;
    }
    // Refine over the strongest bin and its neighbours: the power-weighted mean |k|.
    const std::size_t b = static_cast<std::size_t>(peak - m.radialPower.begin());
    double power = 0.0, moment = 0.0;
    for (std::size_t j = b - 1; j <= b + 1 && j < bins; ++j) {
        power += m.radialPower[j];
        moment += weightedK[j];
    }
    m.wavenumber = moment / power;
    m.wavelength = 2.0 * (n - 1) / m.wavenumber;
    return m;
}

} // namespace rd::analysis
