// Large batch runs: how an invocation shares the cores and the kymograph's size limit. Runs on
// several threads are scale_test.py's; the threaded step's bits, ThreadedStepTest's.
#include "batch/Options.h"
#include "batch/RunScale.h"
#include "tests/batch/ParseOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rd::batch::Options;

using batchtest::parse;

TEST(ShareCores, JobsTimesThreadsNeverExceedTheHardwareInASweep)
{
    struct Case {
        std::vector<std::string> args;
        int nCells;
        std::size_t runs;
        unsigned hardware, jobs;
        int threads;
    };
    const std::vector<std::string> sweep { "--sweep", "kA=0.1:0.2:9" };
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.end(), sweep.begin(), sweep.end());
        return more;
    };
    for (const Case& c : {
             // A single run: every hardware thread from 256 cells on, --threads as given.
             Case { {}, 128, 1, 2, 1, 1 },
             Case { {}, 256, 1, 8, 1, 8 },
             Case { { "--threads", "3" }, 512, 1, 2, 1, 3 },
             Case { { "--dim", "1", "--threads", "4" }, 4096, 1, 8, 1, 1 },
             // A sweep: whole runs side by side first, the threads left over for each.
             Case { with({}), 512, 9, 2, 2, 1 },
             Case { with({}), 512, 2, 8, 2, 4 },
             Case { with({ "--threads", "2" }), 512, 9, 8, 4, 2 },
             Case { with({ "--jobs", "3" }), 512, 9, 8, 3, 2 },
             Case { with({ "--jobs", "3", "--threads", "4" }), 64, 9, 8, 3, 2 },
             Case { with({ "--dim", "1" }), 4096, 2, 8, 2, 1 },
             Case { with({}), 512, 9, 0, 1, 1 },
         }) {
        const auto share = rd::batch::shareCores(parse(c.args), c.nCells, c.runs, c.hardware);
        EXPECT_EQ(share.jobs, c.jobs) << c.args.size() << " args, N " << c.nCells;
        EXPECT_EQ(share.threads, c.threads) << c.args.size() << " args, N " << c.nCells;
    }
}

TEST(KymographSize, RefusedBeyondItsPixelLimitSayingHowLarge)
{
    auto check = [](const char* size, const char* steps) {
        const Options o
            = parse({ "--dim", "1", "--size", size, "--steps", steps, "--kymograph", "k.png" });
        rd::batch::checkKymographSize(o, std::stoi(size));
    };
    // 65536 rows of 1024 cells and 16384 of 4096 are the largest pictures taken.
    EXPECT_NO_THROW(check("1024", "65535"));
    EXPECT_NO_THROW(check("4096", "16383"));
    try {
        check("4096", "16384");
        ADD_FAILURE() << "a kymograph of 4096 x 16385 pixels was taken";
    } catch (const rd::batch::UsageError& e) {
        EXPECT_STREQ(e.what(),
            "--kymograph \"k.png\": the picture would be 4096 x 16385 pixels (about 321 MiB to "
            "hold); at most 67108864 pixels (choose a larger --every or fewer --steps)");
    }
    EXPECT_THROW(check("1025", "65535"), rd::batch::UsageError);
}

} // namespace
