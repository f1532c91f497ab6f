// One explicit time step of the field under a typed model: the built-ins' step (Integrators.h)
// with the model's compiled rates in place of a built-in's, and its clamp only if it has one.
// Everything else, the edges, the two-stage scaling by reactGain, the buffer sets and phaseA,
// the error rules and the partial state an error leaves, is the built-ins'.
#pragma once

#include "engine/SimState.h"
#include "engine/TypedModel.h"

namespace rd {

// Read set A, write set B, then phaseA = false.
void Step2DFromA(SimState& s, const TypedModel& model);
// Read set B, write set A, then phaseA = true.
void Step2DFromB(SimState& s, const TypedModel& model);
// Compute into set B, clamp if the model does, copy back into set A. phaseA is not touched.
void Step1D(SimState& s, const TypedModel& model);
// One step of the current set, as step(SimState&, Model, Dimension).
void step(SimState& s, const TypedModel& model, Dimension dim);
// The 2D step with its rows split over `threads` threads, with the contract of the built-ins'
// Step2DThreaded. A run of many steps keeps a StepThreads instead.
void Step2DThreaded(SimState& s, const TypedModel& model, bool fromA, int threads);

// The plain path, without vector instructions: the rates still computed a chunk of cells at
// a time, one lane wide, the stores cell by cell. Every path equals it bit for bit.
namespace scalar {
void Step2DFromA(SimState& s, const TypedModel& model);
void Step2DFromB(SimState& s, const TypedModel& model);
void Step1D(SimState& s, const TypedModel& model);
void step(SimState& s, const TypedModel& model, Dimension dim);
} // namespace scalar

} // namespace rd
