// How large a batch run may be and how an invocation shares the cores: the largest field,
// the largest kymograph, and how many runs go at once and on how many threads each steps.
#pragma once

#include "batch/Options.h"
#include "settings/Intake.h"

#include <cstddef>
#include <cstdint>

namespace rd::batch {

// Cells per side. N * N stays far inside 32-bit cell indices.
inline constexpr std::int32_t kMaxBatchCells = 4096;
inline constexpr SizeLimit kBatchSizeLimit { kMaxBatchCells, false };

// The kymograph is the one output that grows with the run's length: one grey level per pixel
// while the run lasts, four bytes per pixel for the picture. 2^26 pixels is 65536 rows of
// 1024 cells, or 16384 rows of 4096, about 320 MiB in all.
inline constexpr std::int64_t kMaxKymographPixels = std::int64_t { 1 } << 26;

// A 2D run of this many cells per side or more steps on every hardware thread by default.
inline constexpr std::int32_t kThreadedFromCells = 256;

// Throws UsageError, saying how large the picture would be, when the kymograph of a run of
// nCells cells exceeds kMaxKymographPixels. Nothing to check without --kymograph.
void checkKymographSize(const Options& options, std::int32_t nCells);

struct CoreShare {
    unsigned jobs = 1; // runs at once
    int threads = 1; // threads of each run's 2D step
};

// How `runs` runs of nCells cells per side share `hardware` threads (0: unknown, taken as
// 1). A single run steps on --threads as given, or on every hardware thread from
// kThreadedFromCells on; a sweep first runs whole combinations side by side (--jobs, by
// default as many as fit) and gives each the threads left over, so that jobs x threads
// never exceeds the hardware threads. A line always steps on one thread.
CoreShare shareCores(
    const Options& options, std::int32_t nCells, std::size_t runs, unsigned hardware);

} // namespace rd::batch
