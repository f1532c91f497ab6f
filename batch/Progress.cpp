// The progress line shared by all runs of one invocation.
#include "batch/RunCommand.h"

#include <algorithm>

namespace rd::batch {

Progress::Progress(bool enabled, std::int64_t totalSteps, int runs, const char* unit, bool lines)
    : enabled_(enabled)
    , unit_(unit)
    , lines_(lines)
    , total_(totalSteps)
    , runs_(runs)
{ }

void Progress::addSteps(std::int64_t n)
{
    if (!enabled_)
        return;
    done_ += n;
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now() - start_)
                         .count();
    std::int64_t due = nextPrintNs_.load();
    const std::int64_t pause
        = lines_ ? std::int64_t { kProgressLinesEvery } * 1'000'000'000 : 250'000'000;
    if (now >= due && nextPrintNs_.compare_exchange_strong(due, now + pause))
        print(false);
}

void Progress::runDone()
{
    ++runsDone_;
}

void Progress::runStopped(std::int64_t skipped, std::int64_t at)
{
    total_ -= skipped;
    stoppedAt_ = at;
    ++stopped_;
}

void Progress::finish()
{
    if (enabled_)
        print(true);
}

void Progress::print(bool final)
{
    std::lock_guard lock(printing_);
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::int64_t done = done_.load();
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    const std::int64_t total = total_.load();
    const double left = rate > 0 ? double(total - done) / rate : 0.0;
    char line[240];
    int used = std::snprintf(line, sizeof line, "%s%lld/%lld %s", lines_ ? "" : "\r",
        static_cast<long long>(done), static_cast<long long>(total), unit_);
    if (runs_ > 1)
        used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
            ", %d/%d runs", runsDone_.load(), runs_);
    used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
        ", %.0f %s/s, %.0f s left", rate, unit_, std::max(left, 0.0));
    // Runs that --until steady ended early.
    if (stopped_ > 0 && runs_ == 1)
        used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
            ", stopped at step %lld (steady)", static_cast<long long>(stoppedAt_.load()));
    else if (stopped_ > 0)
        used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
            ", %d stopped early (steady)", stopped_.load());
    // A log gets whole lines with the time they were written; a terminal's line is
    // rewritten in place, its end blanked.
    if (lines_)
        std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
            " (%.0f s elapsed)\n", seconds);
    else
        std::snprintf(
            line + used, sizeof line - static_cast<std::size_t>(used), "  %s", final ? "\n" : "");
    std::fputs(line, stderr);
    std::fflush(stderr);
}

} // namespace rd::batch
