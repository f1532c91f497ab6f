// The rows of a typed 2D step, for the one-thread step and the threaded one alike.
// Internal to the engine.
#pragma once

#include "engine/StepCells.h"
#include "engine/TypedKernels.h"
#include "engine/TypedModel.h"

#include <cstdint>
#include <vector>

namespace rd::typed {

// What a typed step computes once, before its cells: the register file with every uniform
// result (those of the parameters and literals alone). When computing them raised a flag or
// met a zero divisor, every cell goes through the per-cell code, which raises that error
// at the step's first cell as the rules say.
struct StepPlan {
    const Program* program;
    std::vector<float> regs;
    float gain;
    bool clamp;
    bool perCellOnly;
};

StepPlan makeStepPlan(const TypedModel& model, float gain);

// Rows jBegin..jEnd-1 of a 2D step on the given kernels (nullptr: the scalar path), carrying
// the increments in synU and synV. Clears the status flags first. An error propagates with
// i and j naming the cell that raised it; the cells before it are written.
void rows2D(const StepPlan& plan, const rd::cells::Grid2D& g, const Kernels* kernels,
    std::int32_t jBegin, std::int32_t jEnd, float& synU, float& synV, std::int32_t& i,
    std::int32_t& j);

} // namespace rd::typed
