// The run command's limits on the size of its pictures, checked before the first step.
#include "batch/Options.h"
#include "batch/RunCommand.h"
#include "pictures/FieldPicture.h"
#include "pictures/Movie.h"
#include "tests/batch/ParseOptions.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using rd::batch::Options;

using batchtest::parse;

// The refusal's text, "" when the pictures are taken; `line` is the arguments, split at spaces.
std::string refusal(const std::string& line)
{
    std::vector<std::string> args;
    std::istringstream words(line);
    for (std::string w; words >> w;)
        args.push_back(w);
    const Options o = parse(args);
    try {
        rd::batch::checkPictureSizes(o, std::stoi(o.sizeText));
    } catch (const rd::batch::UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(PictureSize, EveryPictureWithinItsLimitsBeforeTheRun)
{
    const std::pair<const char*, bool> cases[] = {
        // A kymograph: 65536 rows of 1024 cells and 16384 of 4096 are the largest taken.
        { "--dim 1 --size 1024 --steps 65535 --kymograph k.png", true },
        { "--dim 1 --size 4096 --steps 16383 --kymograph k.png", true },
        { "--dim 1 --size 4096 --steps 16384 --kymograph k.png", false },
        { "--dim 1 --size 1025 --steps 65535 --kymograph k.png", false },
        // 2D: the field N x zoom a side; 2^28 pixels is 16384 x 16384.
        { "--size 4096 --zoom 4 --image p.png", true },
        { "--size 4096 --zoom 5 --image p.png", false },
        { "--size 2048 --zoom 8 --image f-%03d.png --every 5", true },
        // The colour bar and the caption count, at their widest.
        { "--size 4096 --zoom 4 --image p.png --colorbar", false },
        { "--size 4096 --zoom 3 --image p.png --colorbar --annotate", true },
        // 1D: the two profiles, 62 pixels high, zoomed.
        { "--dim 1 --size 4096 --zoom 32 --image p.png", true },
        { "--dim 1 --size 4096 --zoom 33 --image p.png", false },
        // Frames of a movie: ffmpeg's own limits, and mp4's 16384 a side.
        { "--size 1015 --zoom 16 --every 1 --movie m.mp4", true },
        { "--size 1024 --zoom 16 --every 1 --movie m.mp4", false },
        { "--size 1024 --zoom 16 --every 1 --movie m.apng", false },
        { "--size 1024 --zoom 15 --every 1 --movie m.gif", true },
        // A kymograph's zoomed picture too, beyond the rows it holds.
        { "--dim 1 --size 1024 --steps 16383 --kymograph k.png --zoom 4", true },
        { "--dim 1 --size 1024 --steps 16384 --kymograph k.png --zoom 4", false },
        // 1,048,576 rows: beyond PNG's 1,000,000 a side.
        { "--dim 1 --size 16 --steps 65535 --kymograph k.png --zoom 16", false },
    };
    for (const auto& [args, taken] : cases)
        EXPECT_EQ(refusal(args).empty(), taken) << args << " " << refusal(args);
}

TEST(PictureSize, TheRefusalSaysHowLargeAndWhatToChange)
{
    EXPECT_EQ(refusal("--dim 1 --size 4096 --steps 16384 --kymograph k.png"),
        "--kymograph \"k.png\": the picture would be 4096 x 16385 pixels (about 321 MiB to "
        "hold); at most 67108864 pixels (choose a larger --every or fewer --steps)");
    EXPECT_EQ(refusal("--size 4096 --zoom 64 --steps 20 --image z.png --save z"),
        "--image \"z.png\": the picture would be 262144 x 262144 pixels (about 262144 MiB to "
        "hold); at most 268435456 pixels and 1000000 a side (choose a smaller --zoom or --size)");
    EXPECT_EQ(refusal("--size 1024 --zoom 16 --every 1 --movie m.mp4"),
        "--movie \"m.mp4\": the frames would be 16384 x 16384 pixels (about 1024 MiB to hold); "
        "ffmpeg takes at most (width + 128) x (height + 128) = 268435454 pixels and 16384 a side "
        "in mp4, and no picture is larger than 268435456 pixels (choose a smaller --zoom or "
        "--size)");
}

TEST(PictureSize, MovieFramesByFormat)
{
    using rd::pictures::movieFrameFits;
    struct Case {
        const char* format;
        std::int64_t width, height;
        bool fits;
    };
    for (const Case& c : {
             Case { "mp4", 16254, 16254, true }, // (16254 + 128)^2 < 2^28 - 1
             Case { "mp4", 16256, 16256, false },
             Case { "mp4", 16383, 64, true }, // padded to 16384
             Case { "webm", 16385, 64, false },
             Case { "gif", 65535, 64, true },
             Case { "gif", 65536, 64, false },
             Case { "apng", 65536, 64, true },
             Case { "apng", 1000001, 16, false },
         })
        EXPECT_EQ(movieFrameFits(c.format, c.width, c.height), c.fits)
            << c.format << " " << c.width << " x " << c.height;
}

} // namespace
