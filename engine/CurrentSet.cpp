// Which buffer set is current, written once for the window, the batch tool, the tests and
// the benchmarks.
#include "engine/Integrators.h"

namespace rd {

namespace {

bool setAIsCurrent(const SimState& s, Dimension dim)
{
    return dim == Dimension::One || s.phaseA;
}

std::span<const float> cellsOf(const std::vector<float>& a, const SimState& s, Dimension dim)
{
    const auto n = static_cast<std::size_t>(s.nCells);
    return { a.data(), dim == Dimension::One ? n : n * n };
}

template <auto OneD, auto FromA, auto FromB>
void stepCurrent(SimState& s, Model model, Dimension dim)
{
    if (dim == Dimension::One)
        OneD(s, model);
    else if (s.phaseA)
        FromA(s, model);
    else
        FromB(s, model);
}

} // namespace

void step(SimState& s, Model model, Dimension dim)
{
    stepCurrent<&Step1D, &Step2DFromA, &Step2DFromB>(s, model, dim);
}

void scalar::step(SimState& s, Model model, Dimension dim)
{
    stepCurrent<&scalar::Step1D, &scalar::Step2DFromA, &scalar::Step2DFromB>(s, model, dim);
}

std::span<const float> currentU(const SimState& s, Dimension dim)
{
    return cellsOf(setAIsCurrent(s, dim) ? s.uA : s.uB, s, dim);
}

std::span<const float> currentV(const SimState& s, Dimension dim)
{
    return cellsOf(setAIsCurrent(s, dim) ? s.vA : s.vB, s, dim);
}

} // namespace rd
