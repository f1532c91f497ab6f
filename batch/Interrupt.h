// SIGINT, SIGTERM and SIGHUP end a batch invocation cleanly: the handler only notes the
// signal; runs check it between steps and before committing files, so temporaries are removed
// and earlier outputs kept, and then the signal is raised again with its default action so
// that the shell sees how the program ended.
#pragma once

#include "runs/Errors.h"

namespace rd::batch {

// Installs the handler for each of the three signals that the process did not inherit as
// ignored.
void installInterruptHandlers();

// The signal received, or 0.
int interruptSignal() noexcept;

// Ends the process by the received signal's default action; returns only when none came.
void reraiseInterrupt();

// Thrown at a safe point after a signal came: the runs library's own stop, which its steps
// throw when their cancellation check (interruptSignal) turns true.
using Interrupted = runs::Cancelled;

inline void throwIfInterrupted()
{
    if (interruptSignal() != 0)
        throw Interrupted();
}

} // namespace rd::batch
