// The run loop shared by the window's Run1D and Run2D: step, show the counter, redraw
// every itersPerImage steps, let pending events run, stop when running is cleared.
#pragma once

#include "engine/EngineError.h"
#include "engine/SimState.h"

#include <cstdint>

namespace rd {

inline constexpr std::int32_t kMaxIterations = 1000000;

// step() advances one iteration; showCounter(n + 1) after it; draw() on every
// itersPerImage-th iteration; processEvents() once per iteration, after which the loop
// ends if running has been cleared. itersPerImage is re-read every iteration because
// events processed in between may apply new settings.
template <typename Step, typename ShowCounter, typename Draw, typename ProcessEvents>
void runLoop(const SimState& s, Step&& step, ShowCounter&& showCounter, Draw&& draw,
    ProcessEvents&& processEvents)
{
    for (std::int32_t n = 1; n <= kMaxIterations; ++n) {
        step();
        showCounter(n + 1);
        if (s.itersPerImage == 0)
            throw EngineError(EngineError::Kind::DivisionByZero, "redraw period of 0");
        if (n % s.itersPerImage == 0)
            draw();
        processEvents();
        if (s.running == kFalse)
            break;
    }
}

} // namespace rd
