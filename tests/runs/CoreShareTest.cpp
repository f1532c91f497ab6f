// How runs share the cores. Runs on several threads are the command line's scale_test.py's;
// the threaded step's bits, ThreadedStepTest's.
#include "runs/CoreShare.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace rd::runs;

// A sweep's request: its jobs and threads as asked for (0: by the rule).
CoreRequest sweep(unsigned jobs, unsigned threads)
{
    return { false, true, jobs, threads };
}

TEST(ShareCores, JobsTimesThreadsNeverExceedTheHardwareInASweep)
{
    // The request, N, the runs and the hardware threads; the jobs and threads each gets.
    using Case = std::tuple<CoreRequest, int, std::size_t, unsigned, unsigned, int>;
    for (const auto& [request, nCells, runs, hardware, jobs, threads] : {
             // A single run: every hardware thread from 256 cells on, --threads as given.
             Case { {}, 128, 1, 2, 1, 1 },
             Case { {}, 256, 1, 8, 1, 8 },
             Case { { false, false, 0, 3 }, 512, 1, 2, 1, 3 },
             Case { { true, false, 0, 4 }, 4096, 1, 8, 1, 1 },
             // A sweep: whole runs side by side first, the threads left over for each.
             Case { sweep(0, 0), 512, 9, 2, 2, 1 },
             Case { sweep(0, 0), 512, 2, 8, 2, 4 },
             Case { sweep(0, 2), 512, 9, 8, 4, 2 },
             Case { sweep(3, 0), 512, 9, 8, 3, 2 },
             Case { sweep(3, 4), 64, 9, 8, 3, 2 },
             Case { { true, true, 0, 0 }, 4096, 2, 8, 2, 1 },
             Case { sweep(0, 0), 512, 9, 0, 1, 1 },
         }) {
        const auto share = shareCores(request, nCells, runs, hardware);
        EXPECT_EQ(share.jobs, jobs) << "N " << nCells << ", runs " << runs;
        EXPECT_EQ(share.threads, threads) << "N " << nCells << ", runs " << runs;
    }
}

} // namespace
