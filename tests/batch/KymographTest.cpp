// The kymograph's size limit of the run command.
#include "batch/Options.h"
#include "batch/RunCommand.h"
#include "tests/batch/ParseOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rd::batch::Options;

using batchtest::parse;

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
