#include "engine/FieldInit.h"

namespace rd {

namespace {

float scatter(float r, float range)
{
    return static_cast<float>((static_cast<double>(r) * 0.1 + 0.5) * static_cast<double>(range));
}

template <typename CellFn> void forEachCell(const SimState& s, bool oneD, CellFn&& fn)
{
    if (oneD) {
        for (std::int32_t i = 0; i <= s.lastIdx; ++i)
            fn(static_cast<std::size_t>(i));
        return;
    }
    for (std::int32_t row = 0; row <= s.lastIdx; ++row)
        for (std::int32_t col = 0; col <= s.lastIdx; ++col)
            fn(static_cast<std::size_t>(row) * static_cast<std::size_t>(s.nCells)
                + static_cast<std::size_t>(col));
}

} // namespace

void fillRandom(SimState& s, bool oneD, UniformSource& rng)
{
    forEachCell(s, oneD, [&](std::size_t k) {
        s.uA.at(k) = scatter(rng.next(), s.uMax);
        s.vA.at(k) = scatter(rng.next(), s.vMax);
    });
}

std::int32_t seededSide(std::int32_t n)
{
    return n / 6 > 0 ? n / 6 : 1;
}

void fillSeeded(SimState& s, bool oneD, const SeededStart& values, UniformSource& rng)
{
    const std::int32_t side = seededSide(s.nCells);
    const std::int32_t first = (s.nCells - side) / 2;
    const auto inside = [&](std::size_t k) {
        const auto n = static_cast<std::size_t>(s.nCells);
        const auto within = [&](std::size_t i) {
            return i >= static_cast<std::size_t>(first)
                && i < static_cast<std::size_t>(first + side);
        };
        return oneD ? within(k) : within(k / n) && within(k % n);
    };
    // The factor in double and one rounding to single per value, so every machine agrees.
    const auto noisy = [&rng](double value) {
        const double factor = (static_cast<double>(rng.next()) - 0.5) * 0.02 + 1.0;
        return static_cast<float>(value * factor);
    };
    forEachCell(s, oneD, [&](std::size_t k) {
        const bool seed = inside(k);
        s.uA.at(k) = noisy(seed ? values.uSeed : values.uRest);
        s.vA.at(k) = noisy(seed ? values.vSeed : values.vRest);
    });
}

void clearField(SimState& s, bool oneD)
{
    forEachCell(s, oneD, [&](std::size_t k) {
        s.uA.at(k) = 0.0f;
        s.vA.at(k) = 0.0f;
    });
}

} // namespace rd
