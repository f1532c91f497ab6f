// A set of threads kept for the steps of one run, so that a threaded 2D step does not pay
// for starting threads.
#pragma once

#include "engine/SimState.h"
#include "engine/TypedModel.h"

#include <memory>

namespace rd {

class StepThreads {
public:
    // `threads` ranges of rows per step (at least 1): the calling thread computes the first,
    // threads - 1 helpers started here the others.
    explicit StepThreads(int threads);
    ~StepThreads();
    StepThreads(const StepThreads&) = delete;
    StepThreads& operator=(const StepThreads&) = delete;

    int count() const;

    // The 2D step from set A (fromA) or B on these threads: the contract of Step2DThreaded.
    void step2D(SimState& s, Model model, bool fromA);
    // The same for a typed model, with the contract of its Step2DThreaded.
    void step2D(SimState& s, const TypedModel& model, bool fromA);

private:
    struct Pool;
    std::unique_ptr<Pool> pool_;
};

} // namespace rd
