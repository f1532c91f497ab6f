#include "Options.h"
#include "BatchRun.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

namespace {

using rd::batch::Options;
using rd::batch::UsageError;

Options parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "rdsim-batch");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return rd::batch::parseOptions(static_cast<int>(argv.size()), argv.data());
}

std::string refusal(std::vector<std::string> args)
{
    try {
        parse(std::move(args));
    } catch (const UsageError& e) {
        return e.what();
    }
    ADD_FAILURE() << "accepted";
    return {};
}

TEST(Options, DefaultsAreTheWindowsStartUpSettingsIn2D)
{
    const Options o = parse({});
    EXPECT_EQ(o.model, rd::Model::GiererMeinhardt);
    EXPECT_FALSE(o.oneD);
    EXPECT_EQ(o.sizeText, "128");
    EXPECT_EQ(o.steps, 1000);
    EXPECT_EQ(o.init, rd::batch::InitKind::Zero);
    EXPECT_EQ(o.boxes, rd::defaultBoxTexts(rd::Model::GiererMeinhardt));
    const rd::batch::Prepared run = rd::batch::prepareSettings(o);
    EXPECT_EQ(run.state.nCells, 128);
    EXPECT_EQ(run.state.uA.size(), 16385u);
    EXPECT_EQ(run.state.phaseA, rd::kTrue);
    // 1 - 4 * 0.2f in double, stored: one unit below 0.2f.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(run.state.sv), 0x3e4ccccc);
}

TEST(Options, SetPutsTextsIntoTheChosenModelsBoxesWhateverTheOrder)
{
    // --set before --model: names are resolved against the model finally chosen.
    const Options o = parse({ "--set", "kA=0.05", "--model=oregonator", "--set=kC=0.02", "--set",
        "scale=2e-3", "--dim", "1", "--size", "64" });
    EXPECT_EQ(o.model, rd::Model::Oregonator);
    EXPECT_TRUE(o.oneD);
    auto boxes = rd::defaultBoxTexts(rd::Model::Oregonator);
    boxes[5] = "0.02"; // kC stands before kA in the Oregonator's panel
    boxes[6] = "0.05";
    boxes[2] = "2e-3";
    EXPECT_EQ(o.boxes, boxes);
    const rd::batch::Prepared run = rd::batch::prepareSettings(o);
    EXPECT_EQ(run.state.kC, 0.02f);
    EXPECT_EQ(run.state.kA, 0.05f);
    EXPECT_EQ(run.state.reactGain, 0.002f);
    EXPECT_EQ(run.state.uA.size(), 65u);
}

TEST(Options, RefusesEachBadArgumentNamingTheOptionAndQuotingTheValue)
{
    EXPECT_EQ(refusal({ "--model", "brusselator" }),
        "--model \"brusselator\": unknown model (gm, schnakenberg, gray-scott or oregonator)");
    EXPECT_EQ(refusal({ "--dim", "3" }), "--dim \"3\": the dimension is 1 or 2");
    EXPECT_EQ(refusal({ "--steps", "1000001" }),
        "--steps \"1000001\": not a whole number from 0 to 1000000");
    EXPECT_EQ(refusal({ "--steps", "-1" }), "--steps \"-1\": not a whole number from 0 to 1000000");
    EXPECT_EQ(
        refusal({ "--steps", "1e3" }), "--steps \"1e3\": not a whole number from 0 to 1000000");
    EXPECT_EQ(refusal({ "--steps" }), "--steps: a value is missing");
    EXPECT_EQ(refusal({ "--stepz", "1" }), "unknown option \"--stepz\" (see --help)");
    EXPECT_EQ(refusal({ "out.npy" }), "unexpected argument \"out.npy\" (see --help)");
    EXPECT_EQ(refusal({ "--quiet=yes" }), "--quiet \"yes\": this option takes no value");
    EXPECT_EQ(refusal({ "--set", "kA" }), "--set \"kA\": expected NAME=VALUE");
    EXPECT_EQ(refusal({ "--set", "F=0.04" }),
        "--set \"F=0.04\": unknown setting \"F\" (uMax, vMax, scale, Du, Dv, kA, kB or kC)");
    EXPECT_EQ(refusal({ "--model", "schnakenberg", "--set", "kC=1" }),
        "--set \"kC=1\": the Schnakenberg model has no setting kC");
    EXPECT_EQ(refusal({ "--model", "gray-scott", "--sweep", "kC=0:1:2" }),
        "--sweep \"kC=0:1:2\": the Gray-Scott model has no setting kC");
    EXPECT_EQ(refusal({ "--set", "kA=1", "--set", "kA=2" }),
        "--set \"kA=2\": the setting kA is given more than once");
    EXPECT_EQ(refusal({ "--set", "kA=1", "--sweep", "kA=0:1:2" }),
        "--sweep \"kA=0:1:2\": the setting kA is given more than once");
    EXPECT_EQ(refusal({ "--init", "random" }),
        "--init \"random\": needs --seed K, so that the run can be repeated");
    EXPECT_EQ(refusal({ "--seed", "7" }), "--seed \"7\": needs --init random");
    EXPECT_EQ(refusal({ "--init", "random", "--seed", "-7" }),
        "--seed \"-7\": not a whole number from 0 to 18446744073709551615");
    EXPECT_EQ(
        refusal({ "--init", "gauss" }), "--init \"gauss\": the initial state is zero or random");
    EXPECT_EQ(
        refusal({ "--load-u", "u.npy" }), "--load-u \"u.npy\": --load-u and --load-v go together");
    EXPECT_EQ(refusal({ "--load-u", "u.npy", "--load-v", "v.npy", "--init", "zero" }),
        "--init \"zero\": cannot be combined with --load-u and --load-v");
    EXPECT_EQ(refusal({ "--image", "out.jpg" }),
        "--image \"out.jpg\": the file name must end in .png or .bmp");
    EXPECT_EQ(refusal({ "--image", "dir/.png" }),
        "--image \"dir/.png\": the file name has nothing before its extension");
    EXPECT_EQ(refusal({ "--image", "f-%05d.png" }),
        "--image \"f-%05d.png\": a name with %d writes frames and needs --every K");
    EXPECT_EQ(refusal({ "--image", "f-%s.png", "--every", "5" }),
        "--image \"f-%s.png\": a % must start %d, %0Nd or %% (for example frame-%05d.png)");
    EXPECT_EQ(refusal({ "--image", "f-%d-%d.png", "--every", "5" }),
        "--image \"f-%d-%d.png\": holds more than one %d");
    EXPECT_EQ(refusal({ "--every", "5" }),
        "--every \"5\": needs --image with %d in its name, or --kymograph");
    EXPECT_EQ(refusal({ "--every", "0", "--image", "f%d.png" }),
        "--every \"0\": not a whole number from 1 to 1000000");
    EXPECT_EQ(refusal({ "--kymograph", "k.png" }),
        "--kymograph \"k.png\": a kymograph is a picture of a line; needs --dim 1");
    EXPECT_EQ(refusal({ "--dim", "1", "--kymograph", "k.png", "--steps", "65536" }),
        "--kymograph \"k.png\": the kymograph would have 65537 rows; at most 65536 (choose a "
        "larger --every)");
    EXPECT_EQ(refusal({ "--jobs", "0" }), "--jobs \"0\": not a whole number from 1 to 1024");
    EXPECT_EQ(refusal({ "--sweep", "kA=0:1" }), "--sweep \"kA=0:1\": expected NAME=FROM:TO:COUNT");
    EXPECT_EQ(
        refusal({ "--sweep", "kA=a:1:3" }), "--sweep \"kA=a:1:3\": FROM and TO must be numbers");
    EXPECT_EQ(refusal({ "--sweep", "kA=0:1:0" }),
        "--sweep \"kA=0:1:0\": COUNT must be a whole number from 1 to 10000");
    EXPECT_EQ(refusal({ "--sweep", "kA=0:1:1" }),
        "--sweep \"kA=0:1:1\": a COUNT of 1 needs FROM equal to TO");
    EXPECT_EQ(refusal({ "--sweep", "kA=1:1:2" }),
        "--sweep \"kA=1:1:2\": gives the value 1 more than once");
    EXPECT_EQ(refusal({ "--sweep", "kA=0:1:1000", "--sweep", "kB=0:1:101" }),
        "--sweep \"kB=0:1:101\": the sweeps give more than 100000 combinations");
}

TEST(Options, IntakeRefusalsNameTheOptionTheTextCameFrom)
{
    auto intakeRefusal = [](std::vector<std::string> args) {
        const Options o = parse(std::move(args));
        try {
            for (const auto& values : rd::batch::combinations(o))
                rd::batch::prepareSettings(o, values);
        } catch (const UsageError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(
        intakeRefusal({ "--size", "abc" }), "--size \"abc\": Field Size: \"abc\" is not a number.");
    EXPECT_EQ(intakeRefusal({ "--size", "0" }),
        "--size \"0\": Field Size: \"0\" gives fewer than 1 cell.");
    EXPECT_EQ(intakeRefusal({ "--set", "uMax=0" }),
        "--set \"uMax=0\": u range of Gierer-Meinhardt: \"0\" must not be 0.");
    EXPECT_EQ(intakeRefusal({ "--model", "gray-scott", "--set", "kA=0,04" }),
        "--set \"kA=0,04\": F (feed rate) of Gray-Scott: \"0,04\" is not a number.");
    EXPECT_EQ(intakeRefusal({ "--set", "Dv=" }),
        "--set \"Dv=\": Dv of Gierer-Meinhardt: the box is empty; a number is needed.");
    EXPECT_EQ(intakeRefusal({ "--sweep", "vMax=1:0:3" }),
        "--sweep vMax value \"0\": v range of Gierer-Meinhardt: \"0\" must not be 0.");
    // The window's cap: a larger size is reduced to 129 cells, not refused.
    const Options big = parse({ "--size", "200", "--dim", "1" });
    const auto run = rd::batch::prepareSettings(big);
    EXPECT_TRUE(run.sizeCapped);
    EXPECT_EQ(run.state.nCells, 129);
    EXPECT_EQ(intakeRefusal({ "--size", "128.5" }), "accepted");
    EXPECT_EQ(rd::batch::prepareSettings(parse({ "--size", "128.5" })).state.nCells, 129);
    EXPECT_EQ(rd::batch::prepareSettings(parse({ "--size", "127.5" })).state.nCells, 127);
}

TEST(Options, SweepValuesAreEvenlySpacedTextsWithExactEnds)
{
    const Options o = parse({ "--sweep", "kA=0.1:0.3:3", "--sweep", "kB=-1:1:2" });
    ASSERT_EQ(o.sweeps.size(), 2u);
    // 0.1 + 0.5 * (0.3 - 0.1) is 0.2 in double.
    EXPECT_EQ(o.sweeps[0].values, (std::vector<std::string> { "0.1", "0.2", "0.3" }));
    EXPECT_EQ(o.sweeps[1].values, (std::vector<std::string> { "-1", "1" }));
    const Options thirds = parse({ "--sweep", "Du=0:1:4" });
    EXPECT_EQ(thirds.sweeps[0].values,
        (std::vector<std::string> { "0", "0.333333333333333", "0.666666666666667", "1" }));
    const auto combos = rd::batch::combinations(o);
    ASSERT_EQ(combos.size(), 6u);
    EXPECT_EQ(combos[1], (std::vector<std::string> { "0.1", "1" }));
    // Ends exactly as typed, values between without binary noise.
    EXPECT_EQ(parse({ "--sweep", "kA=0.02:0.035:4" }).sweeps[0].values,
        (std::vector<std::string> { "0.02", "0.025", "0.03", "0.035" }));
    EXPECT_EQ(parse({ "--sweep", "scale=0.1234567890123456:1:2" }).sweeps[0].values,
        (std::vector<std::string> { "0.1234567890123456", "1" }));
    EXPECT_EQ(combos[4], (std::vector<std::string> { "0.3", "-1" }));
    EXPECT_EQ(rd::batch::tagFor(o, combos[4]), "kA=0.3-kB=-1");
}

TEST(Options, FrameAndOutputNames)
{
    using rd::batch::formatFrameName;
    EXPECT_EQ(formatFrameName("frame-%05d.png", 42), "frame-00042.png");
    EXPECT_EQ(formatFrameName("frame-%d.png", 1234567), "frame-1234567.png");
    EXPECT_EQ(formatFrameName("f%3d.bmp", 7), "f  7.bmp");
    EXPECT_EQ(formatFrameName("100%%-%d.png", 3), "100%-3.png");
    EXPECT_EQ(formatFrameName("100%%.png", 3), "100%.png");
    EXPECT_FALSE(rd::batch::hasFrameConversion("100%%.png"));

    const Options o = parse({ "--save", "out/gs", "--image", "out/f-%04d.png", "--every", "10",
        "--sweep", "kA=1:2:2" });
    const auto t = rd::batch::targetsFor(o, "kA=2");
    EXPECT_EQ(t.savePrefix, "out/gs-kA=2");
    EXPECT_EQ(t.image, "out/f-%04d-kA=2.png");
    EXPECT_EQ(rd::batch::speciesName("out/gs.kA=2.png", 'v'), "out/gs.kA=2-v.png");
}

} // namespace
