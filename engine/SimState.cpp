#include "engine/SimState.h"

namespace rd {

void SimState::resizeArrays(std::int64_t highestIndex)
{
    const auto size = static_cast<std::size_t>(highestIndex < 0 ? 0 : highestIndex + 1);
    // std::vector::resize keeps the leading elements and value-initialises new ones to 0.0.
    uA.resize(size);
    vA.resize(size);
    uB.resize(size);
    vB.resize(size);
}

} // namespace rd
