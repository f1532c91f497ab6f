#include "batch/Interrupt.h"

#include <atomic>
#include <csignal>
#include <signal.h>

namespace rd::batch {

namespace {

// Written by the handler on whichever thread takes the signal and read by every worker: a
// lock-free atomic is safe in a handler and between threads, where sig_atomic_t is only the
// former.
std::atomic<int> received { 0 };
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void noteSignal(int signal)
{
    int none = 0;
    received.compare_exchange_strong(none, signal);
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
    return received.load();
}

void reraiseInterrupt()
{
    const int signal = received.load();
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
