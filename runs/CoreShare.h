// How runs share the cores: how many runs go at once and on how many threads each steps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rd::runs {

// A 2D run of this many cells per side or more steps on every hardware thread by default.
inline constexpr std::int32_t kThreadedFromCells = 256;

struct CoreShare {
    unsigned jobs = 1; // runs at once
    int threads = 1; // threads of each run's 2D step
};

// What is asked of the share: 0 leaves a number to the rule.
struct CoreRequest {
    bool oneD = false;
    bool sweep = false; // combinations run side by side
    unsigned jobs = 0; // runs at once
    unsigned threads = 0; // threads of each 2D step
};

// How `runs` runs of nCells cells per side share `hardware` threads (0: unknown, taken as
// 1). A single run steps on the threads asked for, or on every hardware thread from
// kThreadedFromCells on; a sweep first runs whole combinations side by side (the jobs asked
// for, by default as many as fit) and gives each the threads left over, so that jobs x
// threads never exceeds the hardware threads. A line always steps on one thread.
CoreShare shareCores(
    const CoreRequest& request, std::int32_t nCells, std::size_t runs, unsigned hardware);

} // namespace rd::runs
