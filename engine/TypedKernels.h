// The interface of the typed models' vector kernels: plain data and function pointers, as
// SimdKernels.h is for the built-ins, so code built for wider instruction sets stays in its
// own units.
//
// The rates of a chunk of at most kChunk consecutive cells (whole rows of a small field, part
// of a row of a large one) are computed one instruction of the program at a time over the
// whole chunk, never by a walk of the program per cell; then each row's stores go in blocks
// of the vector width, exactly as the built-ins' kernels do.
#pragma once

#include "engine/SimdKernels.h"
#include "engine/TypedProgram.h"

#include <cstdint>

namespace rd::typed {

// Cells whose rates one chunk evaluates: a multiple of every vector width, and enough cells
// that the cost of starting an instruction is shared by many.
inline constexpr int kChunk = 512;

struct SpanArgs {
    const float* uS;
    const float* vS;
    float* uT;
    float* vT;
    std::int64_t stride; // N: the rows above and below are k - N and k + N
    // The program's per-block code and the operands of f and g, as plain data: the kernel
    // units touch no container code, which they would build for their instruction set.
    const BlockInstr* code;
    std::size_t codeSize;
    Operand f, g;
    const float* regs; // the register file with every uniform result computed
    float* scratch; // the program's rowCount rows of kChunk values
    std::int64_t ratesBase; // the cell whose rates are first in the scratch rows
    float gain; // the state's reactGain
    double cu, cv, su, sv, cu2, cv2;
};

// Computes the rates of cells begin..end-1 (width <= end - begin <= kChunk) into the scratch
// rows, the first at ratesBase = begin. Returns non-zero when one raised a flag or met a zero
// divisor or log argument.
using RatesFn = unsigned (*)(const SpanArgs& a, std::int64_t begin, std::int64_t end);

// Stores the cells begin..end-1 (end - begin >= width) from their rates, computed before
// into the scratch rows from ratesBase on; edges as for the built-ins' SpanFn. A block whose
// stores raised a flag is not stored, nor anything after it: its first cell is returned, for
// the caller to redo the cells from there one by one. Returns end when every cell was
// stored; synU and synV then hold the increments of the last cell.
using SpanFn = std::int64_t (*)(const SpanArgs& a, std::int64_t begin, std::int64_t end,
    unsigned edges, float& synU, float& synV);

struct Kernels {
    const char* name;
    int width;
    RatesFn rates;
    SpanFn line; // 1D, unclamped as the built-ins' computing pass
    SpanFn rows[2][3]; // [clamp][Top, Middle, Bottom]

    SpanFn get(bool clamp, simd::Stencil s) const
    {
        return s == simd::Stencil::Line ? line : rows[clamp ? 1 : 0][static_cast<int>(s) - 1];
    }
};

// The kernels the public typed steps use; nullptr on the scalar path.
const Kernels* dispatchedKernels();

#if defined(RDSIM_X86_KERNELS)
const Kernels& sse2Kernels();
const Kernels& avx2Kernels();
const Kernels& avx512fKernels();
#endif

} // namespace rd::typed
