// How runs share the cores. Runs on several threads are the command line's scale_test.py's;
// the threaded step's bits, ThreadedStepTest's.
#include "runs/CoreShare.h"

#include <gtest/gtest.h>

namespace {

using namespace rd::runs;

// A sweep's request: its jobs and threads as asked for (0: by the rule).
CoreRequest sweep(unsigned jobs, unsigned threads)
{
    return { false, true, jobs, threads };
}

TEST(ShareCores, JobsTimesThreadsNeverExceedTheHardwareInASweep)
{
    struct Case {
        CoreRequest request;
        int nCells;
        std::size_t runs;
        unsigned hardware, jobs;
        int threads;
    };
    for (const Case& c : {
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
        const auto share = shareCores(c.request, c.nCells, c.runs, c.hardware);
        EXPECT_EQ(share.jobs, c.jobs) << "N " << c.nCells << ", runs " << c.runs;
        EXPECT_EQ(share.threads, c.threads) << "N " << c.nCells << ", runs " << c.runs;
    }
}

} // namespace
