#include "batch/Interrupt.h"

#include <csignal>
#include <signal.h>

namespace rd::batch {

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void noteSignal(int signal)
{
    if (received == 0)
        received = signal;
}

} // namespace

void installInterruptHandlers()
{
    for (const int signal : { SIGINT, SIGTERM, SIGHUP }) {
        struct sigaction old { };
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action { };
        action.sa_handler = noteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

int interruptSignal() noexcept
{
    return received;
}

void reraiseInterrupt()
{
    const int signal = received;
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
}

} // namespace rd::batch
