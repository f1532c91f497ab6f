// Whole-field initialisation: a uniform state with a small random scatter, a seeded square
// on a rest state, or zero. All write buffer set A only, and only the cells (never the spare
// element).
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

// The values of the seeded start, in double: the rest state everywhere, the seed state in
// the centred square.
struct SeededStart {
    double uRest = 0, vRest = 0, uSeed = 0, vSeed = 0;
};

// Side of the seeded square (1D: segment) on a field of n cells a side: n / 6, at least 1.
std::int32_t seededSide(std::int32_t n);

// Every cell the rest state, the centred square of seededSide cells the seed state (its
// first cell (n - side) / 2 on each axis), then each value times 1 + (r - 0.5) / 50 with a
// fresh r per value (u before v, rows outer): noise of +-1 % that leaves a 0 exactly 0.
void fillSeeded(SimState& s, bool oneD, const SeededStart& values, UniformSource& rng);

// Zeroes the cells of set A.
void clearField(SimState& s, bool oneD);

} // namespace rd
