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

void clearField(SimState& s, bool oneD)
{
    forEachCell(s, oneD, [&](std::size_t k) {
        s.uA.at(k) = 0.0f;
        s.vA.at(k) = 0.0f;
    });
}

} // namespace rd
