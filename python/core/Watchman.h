// What runs while a long piece of work holds no GIL: every so often (a few times a second)
// it takes the GIL for a moment to let Python handle signals (Ctrl-C is a KeyboardInterrupt)
// and to report progress; a Python error raised there stops the work between two steps, with
// the state whole, and is raised again when the work has ended.
#pragma once

#include "runs/Run.h"

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace rd::python {

class Watchman {
public:
    // `report`, when not None, is called with the steps done, first `delay` seconds after the
    // start (so that short work costs nothing in Python), then at every check. `stop`, when
    // given, stops the work as soon as it turns true. Cells per step sets how often the clock
    // is read. Made with the GIL held.
    Watchman(pybind11::object report, double delay, std::int64_t cellsPerStep,
        const std::atomic<bool>* stop = nullptr);
    Watchman(const Watchman&) = delete;
    Watchman& operator=(const Watchman&) = delete;
    ~Watchman();

    // Hooks for runs::advance: progress counts the steps (into `counter` as well when given,
    // offset by `base`), cancelled stops before the next step. Without the GIL.
    runs::StepHooks hooks(std::atomic<std::int32_t>* counter = nullptr, std::int32_t base = 0);
    bool stopped() const { return stopped_; }
    // With the GIL again: raises the Python error that stopped the work, if any.
    void raisePending() const;

private:
    void tick(std::int32_t done);

    pybind11::object report_;
    const std::atomic<bool>* stop_;
    std::chrono::steady_clock::time_point start_, nextCheck_;
    std::chrono::steady_clock::duration delay_;
    std::int64_t stepsPerRead_ = 1, sinceRead_ = 0;
    bool stopped_ = false;
};

} // namespace rd::python
