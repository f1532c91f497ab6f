// One explicit time step of the field: forward Euler on the mirrored five-point (2D) or
// three-point (1D) Laplacian plus the reaction increments of the chosen model.
#pragma once

#include "engine/SimState.h"

#include <cstdint>
#include <span>
#include <vector>

namespace rd {

// Read set A, write set B, then phaseA = false.
void Step2DFromA(SimState& s, Model model);
// Read set B, write set A, then phaseA = true.
void Step2DFromB(SimState& s, Model model);
// Compute into set B, clamp, copy back into set A. phaseA is not touched.
void Step1D(SimState& s, Model model);

// One step of the current set: Step1D in 1D; in 2D Step2DFromA or Step2DFromB by phaseA.
void step(SimState& s, Model model, Dimension dim);

// The current set's cells, without the spare element: in 1D always set A (a 1D step copies
// its result back), in 2D the set phaseA names.
std::span<const float> currentU(const SimState& s, Dimension dim);
std::span<const float> currentV(const SimState& s, Dimension dim);

// The 2D step from set A (fromA) or B with its rows split into `threads` ranges of
// consecutive rows (fewer when there are fewer rows), computed at once on that many
// threads. The results are those of Step2DFromA/B bit for bit whatever the count. An error
// names the cell the one-thread step names and leaves synU and synV, the source set,
// phaseA and every target cell before that cell as it does; target cells after it, in the
// later rows, may already hold this step's values. Starts and ends its threads; a run of
// many steps keeps them in a StepThreads (StepThreads.h) instead.
void Step2DThreaded(SimState& s, Model model, bool fromA, int threads);

// The instruction sets the public steps can run the interior cells on, lowest first.
// Whatever the level, the results are those of the scalar path below, bit for bit.
enum class SimdLevel : std::int8_t { Scalar, Sse2, Avx2, Avx512f };

// "scalar", "sse2", "avx2" or "avx512f".
const char* simdLevelName(SimdLevel level);
// The level the public steps use: the best available unless a test chose another.
SimdLevel simdLevel();
// The name of that level, for reports.
const char* dispatchedPathName();
// The levels this build contains and this processor runs, lowest first; Scalar always.
std::vector<SimdLevel> availableSimdLevels();
// Makes the public steps use the given level. Returns false, changing nothing, when the
// level is not available.
bool setSimdLevelForTesting(SimdLevel level);

// The plain one-cell-at-a-time path. It defines the results; any faster path must equal
// it bit for bit, including where and how it fails.
namespace scalar {
void Step2DFromA(SimState& s, Model model);
void Step2DFromB(SimState& s, Model model);
void Step1D(SimState& s, Model model);
void step(SimState& s, Model model, Dimension dim);
} // namespace scalar

} // namespace rd
