#include "python/core/Watchman.h"

#include <algorithm>

namespace py = pybind11;

namespace rd::python {

namespace {

using Clock = std::chrono::steady_clock;
// How often the GIL is taken: often enough for Ctrl-C to feel immediate, rarely enough to
// cost nothing against the steps.
constexpr auto kCheckEvery = std::chrono::milliseconds(50);
// About this many cells are stepped between two readings of the clock.
constexpr std::int64_t kCellsPerRead = 1 << 16;

} // namespace

Watchman::Watchman(
    py::object report, double delay, std::int64_t cellsPerStep, const std::atomic<bool>* stop)
    : report_(std::move(report))
    , stop_(stop)
    , start_(Clock::now())
    , nextCheck_(start_ + kCheckEvery)
    , delay_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delay)))
    , stepsPerRead_(
          std::max<std::int64_t>(1, kCellsPerRead / std::max<std::int64_t>(1, cellsPerStep)))
{ }

Watchman::~Watchman()
{
    // The callable is released with the GIL held, wherever the watchman ends.
    py::gil_scoped_acquire gil;
    report_ = py::object();
}

void Watchman::tick(std::int32_t done)
{
    if (stopped_)
        return;
    if (stop_ && stop_->load(std::memory_order_relaxed)) {
        stopped_ = true;
        return;
    }
    if (++sinceRead_ < stepsPerRead_)
        return;
    sinceRead_ = 0;
    const auto now = Clock::now();
    if (now < nextCheck_)
        return;
    nextCheck_ = now + kCheckEvery;
    py::gil_scoped_acquire gil;
    // A failed check leaves its exception set in this thread until the work has ended.
    if (PyErr_CheckSignals() != 0) {
        stopped_ = true;
        return;
    }
    if (report_.is_none() || now - start_ < delay_)
        return;
    PyObject* result = PyObject_CallOneArg(report_.ptr(), py::int_(done).ptr());
    if (!result) {
        stopped_ = true;
        return;
    }
    Py_DECREF(result);
}

runs::StepHooks Watchman::hooks(std::atomic<std::int32_t>* counter, std::int32_t base)
{
    runs::StepHooks h;
    h.progress = [this, counter, base](std::int32_t n) {
        if (counter)
            counter->store(base + n, std::memory_order_relaxed);
        tick(n);
        return false;
    };
    h.cancelled = [this] { return stopped_; };
    return h;
}

void Watchman::raisePending() const
{
    if (PyErr_Occurred())
        throw py::error_already_set();
}

} // namespace rd::python
