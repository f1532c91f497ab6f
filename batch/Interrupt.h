// SIGINT, SIGTERM and SIGHUP end a batch invocation cleanly: the handler only notes the
// signal; runs check it between steps and before committing files, so temporaries are removed
// and earlier outputs kept, and then the signal is raised again with its default action so
// that the shell sees how the program ended.
#pragma once

#include <stdexcept>

namespace rd::batch {

// Installs the handler for each of the three signals that the process did not inherit as
// ignored.
void installInterruptHandlers();

// The signal received, or 0.
int interruptSignal() noexcept;

// Ends the process by the received signal's default action; returns only when none came.
void reraiseInterrupt();

// Thrown at a safe point after a signal came.
class Interrupted : public std::runtime_error {
public:
    Interrupted()
        : std::runtime_error("interrupted")
    { }
};

inline void throwIfInterrupted()
{
    if (interruptSignal() != 0)
        throw Interrupted();
}

} // namespace rd::batch
