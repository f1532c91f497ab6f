// The batch tool's option parsing, output names and run bookkeeping. The executable seen from
// outside (exit statuses, files NumPy reads, frames, sweeps against single runs) is
// cli_test.py's; the agreement with the window is tst_BatchWindow's.
#include "batch/Options.h"
#include "batch/RunCommand.h"
#include "tests/batch/ParseOptions.h"

#include <gtest/gtest.h>

namespace {

using rd::batch::Options;

using batchtest::parse;

rd::runs::Prepared prepared(const Options& o, const std::vector<std::string>& values = {})
{
    const rd::runs::RunDescription request = rd::batch::runDescription(o, values);
    rd::runs::Prepared run = rd::runs::prepare(request);
    rd::runs::initialise(run, request.initial, nullptr);
    return run;
}

TEST(Options, SetPutsTextsIntoTheChosenModelsBoxesWhateverTheOrder)
{
    // --set before --model: names are resolved against the model finally chosen.
    const Options o = parse({ "--set", "kA=0.05", "--model=oregonator", "--set=kC=0.02", "--set",
        "scale=2e-3", "--dim", "1", "--size", "64" });
    EXPECT_EQ(o.settings,
        (std::map<std::string, std::string> {
            { "kA", "0.05" }, { "kC", "0.02" }, { "scale", "2e-3" } }));
    auto boxes = rd::defaultBoxTexts(rd::Model::Oregonator);
    boxes[5] = "0.02"; // kC stands before kA in the Oregonator's panel
    boxes[6] = "0.05";
    boxes[2] = "2e-3";
    EXPECT_EQ(rd::runs::boxTexts(rd::batch::runDescription(o)), boxes);
    const rd::SimState s = prepared(o).state;
    EXPECT_EQ(s.kC, 0.02f);
    EXPECT_EQ(s.kA, 0.05f);
    EXPECT_EQ(s.reactGain, 0.002f);
    EXPECT_EQ(s.uA.size(), 65u);
}

TEST(Options, RefusesEachBadArgumentNamingTheOptionAndQuotingTheValue)
{
    // cli_test.py checks the exit status, the single line and that nothing is written, with
    // bad numbers, settings, sizes, sweeps and field files; series_test.py the seed sweep
    // without a random start and --progress with --quiet.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        { { "--steps" }, "--steps: a value is missing" },
        { { "--set", "kA=1", "--sweep", "kA=0:1:2" },
            "--sweep \"kA=0:1:2\": the setting kA is given more than once" },
        { { "--init", "random" },
            "--init \"random\": needs --seed K (or --sweep seed=FROM:TO:COUNT), so that the run "
            "can be repeated" },
        { { "--load-u", "u.npy" }, "--load-u \"u.npy\": --load-u and --load-v go together" },
        { { "--image", "f-%05d.png" },
            "--image \"f-%05d.png\": a name with %d writes frames and needs --every K" },
        { { "--kymograph", "k.png" },
            "--kymograph \"k.png\": a kymograph is a picture of a line; needs --dim 1" },
        { { "--dim", "1", "--kymograph", "k.png", "--steps", "65536" },
            "--kymograph \"k.png\": the kymograph would have 65537 rows; at most 65536 (choose a "
            "larger --every)" },
        { { "--sweep", "kA=1:1:2" }, "--sweep \"kA=1:1:2\": gives the value 1 more than once" },
        { { "--sweep", "kA=0:1:1000", "--sweep", "kB=0:1:101" },
            "--sweep \"kB=0:1:101\": the sweeps give more than 100000 combinations" },
        { { "--init", "random", "--sweep", "seed=1:2:3" },
            "--sweep \"seed=1:2:3\": does not give whole numbers: the ends are 1 apart, not a "
            "multiple of the 2 gaps between the values" },
        { { "--init", "random", "--sweep", "seed=-1:2:2" },
            "--sweep \"seed=-1:2:2\": the seeds FROM and TO are whole numbers from 0 to "
            "18446744073709551615" },
        { { "--init", "seeded", "--sweep", "seed=1:2" },
            "--sweep \"seed=1:2\": expected seed=FROM:TO:COUNT" },
        { { "--set", "seed=1" },
            "--set \"seed=1\": unknown setting \"seed\" (uMax, vMax, scale, Du, Dv, kA, kB, kC, "
            "dt or dx)" },
        { { "--save", "f-%d" },
            "--save \"f-%d\": a name with %d saves the fields and needs --every K" },
        { { "--kymograph", "k-%d.png", "--dim", "1" },
            "--kymograph \"k-%d.png\": the name takes no %d (write %% for a percent sign)" },
    };
    for (const auto& [args, message] : cases) {
        try {
            parse(args);
            ADD_FAILURE() << "accepted: " << message;
        } catch (const rd::batch::UsageError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

TEST(Options, SweepValuesAreEvenlySpacedTextsWithExactEndsAndNameTheOutputs)
{
    const Options o = parse({ "--sweep", "kA=0.1:0.3:3", "--sweep", "kB=-1:1:2", "--save", "out/gs",
        "--image", "out/f-%04d.png", "--every", "10" });
    // 0.1 + 0.5 * (0.3 - 0.1) is 0.2 in double.
    EXPECT_EQ(o.sweeps[0].values, (std::vector<std::string> { "0.1", "0.2", "0.3" }));
    EXPECT_EQ(parse({ "--sweep", "Du=0:1:4" }).sweeps[0].values,
        (std::vector<std::string> { "0", "0.333333333333333", "0.666666666666667", "1" }));
    EXPECT_EQ(parse({ "--sweep", "scale=0.1234567890123456:1:2" }).sweeps[0].values,
        (std::vector<std::string> { "0.1234567890123456", "1" }));
    const auto combos = rd::batch::combinations(o); // the last sweep varies fastest
    ASSERT_EQ(combos.size(), 6u);
    EXPECT_EQ(combos[1], (std::vector<std::string> { "0.1", "1" }));
    // The run tags in the save names are cli_test.py's (sweeps against single runs).
    EXPECT_EQ(rd::batch::targetsFor(o, "kA=2").image, "out/f-%04d-kA=2.png");
    EXPECT_EQ(rd::batch::speciesName("out/gs.kA=2.png", 'v'), "out/gs.kA=2-v.png");
    EXPECT_EQ(rd::batch::formatFrameName("f%3d.bmp", 7), "f  7.bmp");
    EXPECT_EQ(rd::batch::formatFrameName("100%%-%d.png", 1234567), "100%-1234567.png");
    EXPECT_FALSE(rd::batch::hasFrameConversion("100%%.png"));
}

TEST(Options, SeedSweepsGoIntoTheInitialStateAndTheNamesAsASettingDoes)
{
    const Options o = parse({ "--init", "seeded", "--sweep", "kA=0.1:0.2:2", "--sweep",
        "seed=18446744073709551613:18446744073709551615:2", "--save", "e/r" });
    EXPECT_EQ(o.sweeps[1].values,
        (std::vector<std::string> { "18446744073709551613", "18446744073709551615" }));
    const auto combos = rd::batch::combinations(o);
    ASSERT_EQ(combos.size(), 4u);
    const rd::runs::RunDescription request = rd::batch::runDescription(o, combos[3]);
    EXPECT_EQ(request.initial.seed, 18446744073709551615u);
    EXPECT_EQ(request.settings.count("seed"), 0u);
    EXPECT_EQ(request.settings.at("kA"), "0.2");
    const std::string tag = rd::batch::tagFor(o, combos[3]);
    EXPECT_EQ(tag, "kA=0.2-seed=18446744073709551615");
    EXPECT_EQ(rd::batch::targetsFor(o, tag).savePrefix, "e/r-kA=0.2-seed=18446744073709551615");
    EXPECT_EQ(rd::batch::sweepCsvHeader(o).substr(0, 20), "run,kA,seed,status,i");
}

TEST(Options, FieldSeriesAndLoadedFieldsNameTheirFiles)
{
    // The records of a series, of a frame of it and of a sweep's run; the sweep's table.
    const Options series = parse({ "--save", "out/run-%03d", "--every", "5", "--image", "p.png" });
    EXPECT_EQ(series.savePrefix, "out/run-%03d");
    EXPECT_EQ(rd::batch::recordPath({ series.savePrefix, "p.png", "", "" }), "out/run.json");
    EXPECT_EQ(rd::batch::recordPath({ "out/run-007", "", "", "" }), "out/run-007.json");
    EXPECT_EQ(rd::batch::recordPath({ "100%%_%d-kA=0.5", "", "", "" }), "100%-kA=0.5.json");
    EXPECT_EQ(rd::batch::sweepCsvPath(
                  parse({ "--save", "out/run-%03d", "--every", "5", "--sweep", "kA=1:2:2" })),
        "out/run-sweep.csv");
    // A literal percent sign stays one in a single save.
    EXPECT_EQ(parse({ "--save", "100%%" }).savePrefix, "100%");
    // Loaded fields bring their size unless --size is given.
    EXPECT_EQ(parse({ "--load-u", "u.npy", "--load-v", "v.npy" }).sizeText, "");
    EXPECT_EQ(parse({ "--load-u", "u.npy", "--load-v", "v.npy", "--size", "9" }).sizeText, "9");
    EXPECT_EQ(parse({}).sizeText, rd::kDefaultSizeText);
}

// The rows against single runs are cli_test.py's; here the quoting of names and messages.
TEST(BatchRun, SweepCsvQuotesFileNamesAndMessages)
{
    const Options o = parse({ "--sweep", "scale=0:1e37:2", "--size", "4", "--steps", "5", "--init",
        "random", "--seed", "3" });
    const auto combos = rd::batch::combinations(o);
    std::vector<rd::batch::RunReport> r;
    for (const auto& values : combos)
        r.push_back(
            rd::batch::runOne(prepared(o, values), o, rd::batch::targetsFor(o, ""), {}, nullptr));
    r[0].files = { "a,b.npy", "c.npy" };
    ASSERT_EQ(r[1].status, rd::batch::RunStatus::ArithmeticError);
    // The findings as the columns give them: a wavelength whole, a flat field "inf".
    r[0].findings.state = rd::analysis::RunState::Converged;
    r[0].findings.predicted = 254.0 / 23.0;
    r[0].findings.measured = INFINITY;
    r[0].findings.contrast = 2.56346539e-07;
    const std::string iteration = std::to_string(r[1].iteration);
    EXPECT_EQ(rd::batch::sweepCsv(o, combos, r),
        "run,scale,status,iteration,message,files,state,steps,predicted_wavelength,"
        "measured_wavelength,contrast\n1,0,ok,,,\"a,b.npy;c.npy\",converged,5,11.043478260869565,"
        "inf,2.56346539e-07\n2,1e+37,arithmetic error,"
            + iteration + ",\"" + r[1].message + "\",,arithmetic error," + iteration + ",,,\n");
}

} // namespace
