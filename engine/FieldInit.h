// Whole-field initialisation: a uniform state with a small random scatter, or zero.
// Both write buffer set A only, and only the cells (never the spare element).
#pragma once

#include "engine/SimState.h"

#include <cstdint>
#include <random>

namespace rd {

// Uniform single-precision numbers in [0, 1): 24 random bits scaled by 2^-24, so 1.0
// can never come out (std::generate_canonical<float> may round up to it).
class UniformSource {
public:
    explicit UniformSource(std::uint64_t seed)
        : engine_(seed)
    { }
    float next() { return static_cast<float>(engine_() >> 40) * 0x1p-24f; }

private:
    std::mt19937_64 engine_;
};

// Per cell, u first and then v: (r * 0.1 + 0.5) * range, in double, stored single.
// 1D: cells 0..lastIdx; 2D: rows outer, columns inner.
void fillRandom(SimState& s, bool oneD, UniformSource& rng);

// Zeroes the cells of set A.
void clearField(SimState& s, bool oneD);

} // namespace rd
