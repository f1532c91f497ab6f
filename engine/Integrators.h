// One explicit time step of the field: forward Euler on the mirrored five-point (2D) or
// three-point (1D) Laplacian plus the reaction increments of the chosen model.
#pragma once

#include "SimState.h"

namespace rd {

// Read set A, write set B, then phaseA = false.
void Step2DFromA(SimState& s, Model model);
// Read set B, write set A, then phaseA = true.
void Step2DFromB(SimState& s, Model model);
// Compute into set B, clamp, copy back into set A. phaseA is not touched.
void Step1D(SimState& s, Model model);

// The plain one-cell-at-a-time path. It defines the results; any faster path must equal
// it bit for bit, including where and how it fails.
namespace scalar {
void Step2DFromA(SimState& s, Model model);
void Step2DFromB(SimState& s, Model model);
void Step1D(SimState& s, Model model);
} // namespace scalar

} // namespace rd
