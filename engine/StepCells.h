// The per-cell code of the 2D and 1D steps. The plain loops run it for every cell; the
// vector paths run it at the edges of the field and to redo a block that failed, so both
// give the same results, raise the same errors and leave the same cells written.
#pragma once

#include "engine/EngineError.h"
#include "engine/FpStatus.h"
#include "engine/Kinetics.h"
#include "engine/SimState.h"

#include <cstdint>
#include <type_traits>
#include <vector>

namespace rd::cells {

inline double d(float x)
{
    return static_cast<double>(x);
}

// ---- 2D ----

// The source and target arrays of one 2D step, after the size check.
struct Buffers2D {
    std::vector<float>& uS;
    std::vector<float>& vS;
    std::vector<float>& uT;
    std::vector<float>& vT;
};

// Picks the sets of the step's direction and refuses arrays smaller than the grid.
Buffers2D buffers2D(SimState& s, bool fromA);

struct Grid2D {
    const float* uS;
    const float* vS;
    float* uT;
    float* vT;
    std::int32_t N, L;
    KineticsConstants c;
    double cu, cv, cu2, cv2, su, sv;
};

inline Grid2D grid2D(const SimState& s, const Buffers2D& b)
{
    const double cu = s.cu, cv = s.cv;
    return { b.uS.data(), b.vS.data(), b.uT.data(), b.vT.data(), s.nCells, s.lastIdx,
        KineticsConstants::from(s), cu, cv, cu + cu, cv + cv, s.su, s.sv };
}

// The mirrored diffusion term of one species at cell (i, j). Cases are tested in this
// order: row 0, row L, other rows; within a row column 0, column L, other columns. Each
// edge counts its inward neighbour twice (x + x in double), operands added as written.
inline double diffusionTerm(const float* a, std::int64_t k, std::int32_t i, std::int32_t j,
    std::int32_t N, std::int32_t L, double c, double c2)
{
    if (j == 0) {
        if (i == 0)
            return (d(a[k + N]) + d(a[k + 1])) * c2;
        if (i == L)
            return (d(a[k + N]) + d(a[k - 1])) * c2;
        return (d(a[k + 1]) + d(a[k - 1]) + (d(a[k + N]) + d(a[k + N]))) * c;
    }
    if (j == L) {
        if (i == 0)
            return (d(a[k - N]) + d(a[k + 1])) * c2;
        if (i == L)
            return (d(a[k - N]) + d(a[k - 1])) * c2;
        return (d(a[k + 1]) + d(a[k - 1]) + (d(a[k - N]) + d(a[k - N]))) * c;
    }
    if (i == 0)
        return ((d(a[k + 1]) + d(a[k + 1])) + d(a[k - N]) + d(a[k + N])) * c;
    if (i == L)
        return ((d(a[k - 1]) + d(a[k - 1])) + d(a[k - N]) + d(a[k + N])) * c;
    return (d(a[k + 1]) + d(a[k - 1]) + d(a[k - N]) + d(a[k + N])) * c;
}

// The stores of one 2D cell from its increments, then (Clamp) negative results set to 0.
template <bool Clamp = true>
inline void store2D(const Grid2D& g, std::int32_t i, std::int32_t j, float synU, float synV)
{
    const std::int64_t k = static_cast<std::int64_t>(j) * g.N + i;
    const double termU = diffusionTerm(g.uS, k, i, j, g.N, g.L, g.cu, g.cu2);
    g.uT[k] = static_cast<float>(termU + d(g.uS[k]) * g.su + d(synU));
    fp::checkStore(g.uT[k]);
    const double termV = diffusionTerm(g.vS, k, i, j, g.N, g.L, g.cv, g.cv2);
    g.vT[k] = static_cast<float>(termV + d(g.vS[k]) * g.sv + d(synV));
    fp::checkStore(g.vT[k]);
    if constexpr (Clamp) {
        if (g.uT[k] < 0.0f)
            g.uT[k] = 0.0f;
        if (g.vT[k] < 0.0f)
            g.vT[k] = 0.0f;
    }
}

// One cell of the 2D step. The caller cleared the status flags before the first cell.
template <Model M>
inline void cell2D(const Grid2D& g, std::int32_t i, std::int32_t j, float& synU, float& synV)
{
    const std::int64_t k = static_cast<std::int64_t>(j) * g.N + i;
    kinetics::rates<M>(g.c, g.uS[k], g.vS[k], synU, synV);
    store2D(g, i, j, synU, synV);
}

// Leaves the increments computed so far in the state and names the failing cell.
[[noreturn]] void abandon2D(
    SimState& s, const EngineError& e, std::int32_t i, std::int32_t j, float synU, float synV);

// ---- 1D ----

// Refuses arrays shorter than the line and an inner end cell outside it.
void requireCells1D(const SimState& s);

struct Line1D {
    const float* uA;
    const float* vA;
    float* uB;
    float* vB;
    std::int32_t L, inner;
    KineticsConstants c;
    double cu, cv, cu2, cv2, su, sv;
};

inline Line1D line1D(SimState& s)
{
    const double cu = s.cu, cv = s.cv;
    return { s.uA.data(), s.vA.data(), s.uB.data(), s.vB.data(), s.lastIdx, s.lastInner,
        KineticsConstants::from(s), cu, cv, cu + cu, cv + cv, s.su, s.sv };
}

// The stores of one cell of the computing pass from its increments: reads set A only,
// writes set B only, unclamped.
inline void store1D(const Line1D& g, std::int32_t i, float synU, float synV)
{
    const float* uA = g.uA;
    const float* vA = g.vA;
    if (i == 0) {
        g.uB[i] = static_cast<float>(g.cu2 * d(uA[1]) + d(uA[0]) * g.su + d(synU));
        fp::checkStore(g.uB[i]);
        g.vB[i] = static_cast<float>(g.cv2 * d(vA[1]) + d(vA[0]) * g.sv + d(synV));
        fp::checkStore(g.vB[i]);
    } else if (i == g.L) {
        g.uB[i] = static_cast<float>(g.cu2 * d(uA[g.inner]) + d(uA[g.L]) * g.su + d(synU));
        fp::checkStore(g.uB[i]);
        g.vB[i] = static_cast<float>(g.cv2 * d(vA[g.inner]) + d(vA[g.L]) * g.sv + d(synV));
        fp::checkStore(g.vB[i]);
    } else {
        g.uB[i]
            = static_cast<float>((d(uA[i + 1]) + d(uA[i - 1])) * g.cu + d(uA[i]) * g.su + d(synU));
        fp::checkStore(g.uB[i]);
        g.vB[i]
            = static_cast<float>((d(vA[i + 1]) + d(vA[i - 1])) * g.cv + d(vA[i]) * g.sv + d(synV));
        fp::checkStore(g.vB[i]);
    }
}

// One cell of the computing pass.
template <Model M> inline void cell1D(const Line1D& g, std::int32_t i, float& synU, float& synV)
{
    kinetics::rates<M>(g.c, g.uA[i], g.vA[i], synU, synV);
    store1D(g, i, synU, synV);
}

[[noreturn]] void abandon1D(
    SimState& s, const EngineError& e, std::int32_t i, float synU, float synV);

// The copying pass: clamps set B at 0 and copies it into set A, so the line's state
// always ends in set A.
void copyBack1D(SimState& s);

} // namespace rd::cells
