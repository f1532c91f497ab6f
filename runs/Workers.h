// Work spread over threads, each taking items until none are left.
#pragma once

#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace rd::runs {

// Runs `work` on `count` threads, the calling one included, and returns when all have
// finished. A thread that cannot start (no memory for its stack) leaves its items to the
// others, with the same results.
template <class Work> void runOnThreads(unsigned count, Work& work)
{
    std::vector<std::jthread> workers;
    try {
        for (unsigned w = 1; w < count; ++w)
            workers.emplace_back(std::ref(work));
    } catch (const std::exception&) { }
    work();
    workers.clear(); // joins
}

} // namespace rd::runs
