// The one record of the simulation: cell arrays, coefficients, sizes and flags.
#pragma once

#include <cstdint>
#include <vector>

namespace rd {

// Booleans are 16-bit with true = -1, as the window's flags have always been.
using Bool16 = std::int16_t;
inline constexpr Bool16 kTrue = -1;
inline constexpr Bool16 kFalse = 0;

// The four reaction models, in the order the "Function" menu tests them.
enum class Model : std::int8_t { GiererMeinhardt, Schnakenberg, GrayScott, Oregonator };

// A line of nCells cells (buffer set A always current) or a square of nCells x nCells
// (the current set alternates, named by phaseA).
enum class Dimension : std::int8_t { One, Two };

inline constexpr Dimension dimensionOf(bool oneD)
{
    return oneD ? Dimension::One : Dimension::Two;
}

struct SimState {
    // Buffer sets A and B. One spare element beyond the last cell.
    std::vector<float> uA, vA, uB, vB;

    float dt = 1.0f;
    float dx = 0.01f;
    float uMax = 3.0f;
    float vMax = 3.0f;
    float grayScale = 0.0f;
    float kA = 0.0f, kB = 0.0f, kC = 0.0f;
    float reactGain = 0.0f;
    float Du = 0.0f, Dv = 0.0f;
    float cu = 0.0f, cv = 0.0f;
    float su = 0.0f, sv = 0.0f;

    // Increments of the cell being computed; written by the model functions.
    float synU = 0.0f, synV = 0.0f;

    std::int32_t nCells = 128;
    std::int32_t lastIdx = 127;
    std::int32_t lastInner = 126;
    std::int32_t itersPerImage = 20;

    Bool16 running = kFalse;
    Bool16 phaseA = kTrue;
    Bool16 mouseDown = kFalse;
    Bool16 paintU = kTrue;

    // Resizes all four arrays to hold indices 0..highestIndex. Values at indices that
    // exist before and after are kept; new elements are 0.0.
    void resizeArrays(std::int64_t highestIndex);

    // Highest array index for the current nCells: nCells in 1D, nCells * nCells in 2D.
    std::int64_t highestIndex1D() const { return nCells; }
    std::int64_t highestIndex2D() const
    {
        return static_cast<std::int64_t>(nCells) * lastIdx + nCells;
    }
};

} // namespace rd
