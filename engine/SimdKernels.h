// The interface of the vector kernels: plain data and function pointers only. The
// kernels for wider instruction sets live in translation units built with extra target
// flags; sharing no inline code with them keeps such code out of the rest of the engine.
#pragma once

#include "engine/SimState.h"

#include <cstdint>

namespace rd::cells {
struct Grid2D;
}

namespace rd::simd {

// Which neighbours a cell's diffusion term reads, for cells away from the columns 0 and L
// (2D) or the ends (1D); a span marked with edges covers those too. Each case adds its
// operands in the order of the per-cell code.
enum class Stencil : std::int8_t {
    Line, // 1D: (a[k+1] + a[k-1]) * c, stored unclamped
    Top, // row 0: (a[k+1] + a[k-1] + (a[k+N] + a[k+N])) * c
    Middle, // (a[k+1] + a[k-1] + a[k-N] + a[k+N]) * c
    Bottom, // row L: (a[k+1] + a[k-1] + (a[k-N] + a[k-N])) * c
};

struct SpanArgs {
    const float* uS;
    const float* vS;
    float* uT;
    float* vT;
    std::int64_t stride; // N: the rows above and below are k - N and k + N
    float kA, kB, kC, reactGain;
    float removal; // Gray-Scott's -(kB + kA), the same for every cell
    double cu, cv, su, sv;
    double cu2, cv2; // cu + cu and cv + cv: the weights of a mirrored corner or line end
};

// Which ends of a span are the ends of its row (or line), computed with the mirrored rules.
inline constexpr unsigned kFirstIsEdge = 1u;
inline constexpr unsigned kLastIsEdge = 2u;

// Computes the cells begin..end-1 in blocks of `width` cells; when the count is not a
// multiple of the width, the last block overlaps the one before it (it recomputes the
// same values). A block whose evaluation raised overflow or invalid, or met a zero
// denominator, is not stored: the function returns its first cell, for the caller to
// redo cell by cell. Returns end when every block was stored. synU and synV receive the
// increments of the last cell stored. Needs end - begin >= width. edges (kFirstIsEdge,
// kLastIsEdge) marks begin as column 0 and end - 1 as column L of the row, or the ends of
// the line (whose inner end cell must then be L - 1); the Middle case then covers the
// mirrored columns, Top and Bottom the corners.
using SpanFn = std::int64_t (*)(const SpanArgs& a, std::int64_t begin, std::int64_t end,
    unsigned edges, float& synU, float& synV);
// Clamps from[0..n-1] at zero and copies it to to[0..n-1]. Needs n >= width.
using ClampCopyFn = void (*)(float* from, float* to, std::int64_t n);

struct Kernels {
    const char* name;
    int width;
    SpanFn span[4][4]; // [Model][Stencil]
    ClampCopyFn clampCopy;

    SpanFn get(Model m, Stencil s) const { return span[static_cast<int>(m)][static_cast<int>(s)]; }
};

// Rows jBegin..jEnd-1 of a 2D step on the given kernels (nullptr: the per-cell code),
// carrying the increments in synU and synV. Clears the status flags first. An error
// propagates with i and j naming the cell that raised it; the cells before it are written.
void rows2D(const cells::Grid2D& g, Model model, const Kernels* kernels, std::int32_t jBegin,
    std::int32_t jEnd, float& synU, float& synV, std::int32_t& i, std::int32_t& j);

// The kernels the public steps use; nullptr on the scalar path.
const Kernels* dispatchedKernels();

// The 2D and 1D steps with the interior cells on the given kernels and the rest, and
// any block a kernel refused, on the per-cell code.
void step2D(SimState& s, Model model, bool fromA, const Kernels& kernels);
void step1D(SimState& s, Model model, const Kernels& kernels);

#if defined(RDSIM_X86_KERNELS)
const Kernels& sse2Kernels();
const Kernels& avx2Kernels();
const Kernels& avx512fKernels();
#endif

} // namespace rd::simd
