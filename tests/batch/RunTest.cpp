#include "BatchRun.h"
#include "Npy.h"
#include "OutputFile.h"
#include "ProfileImage.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using rd::batch::Options;

Options parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "rdsim-batch");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return rd::batch::parseOptions(static_cast<int>(argv.size()), argv.data());
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "rdsim-batch-test-XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> n;
        for (const auto& e : fs::directory_iterator(path))
            n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }
};

int redRows(const QImage& img, int x)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        n += img.pixel(x, y) == qRgb(255, 0, 0);
    return n;
}

TEST(ProfileImage, BarsStandOnTheZeroLineAndAreCutAtTheBoxEdges)
{
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> u { 0.0f, 1.5f, 3.0f, 6.0f, 0.05f, 1e30f, inf,
        std::numeric_limits<float>::quiet_NaN() };
    const QImage img = rd::batch::renderProfile(u, 3.0f, QColor(255, 0, 0));
    ASSERT_EQ(img.size(), QSize(8, 62));
    // The zero line is row 62, just below the box, and a value's row is
    // round((u - 3) * 62 / -3); the bar covers the rows between, its end row left out.
    EXPECT_EQ(redRows(img, 0), 0); // exactly 0: white above the zero line
    EXPECT_EQ(redRows(img, 1), 30); // row 31: rows 32..61
    EXPECT_EQ(redRows(img, 2), 61); // the top row 0 is the end point, left out
    EXPECT_EQ(redRows(img, 3), 62); // beyond the range: up to the top edge
    EXPECT_EQ(redRows(img, 4), 0); // 60.97 rounds to row 61: a bar of row 62 only, outside
    EXPECT_EQ(redRows(img, 5), 62);
    EXPECT_EQ(redRows(img, 6), 0); // not a finite row: no bar, as in the window's box
    EXPECT_EQ(redRows(img, 7), 0);
    EXPECT_EQ(img.pixel(1, 31), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(1, 32), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(2, 0), qRgb(255, 255, 255));
}

TEST(ProfileImage, KymographRowsAreTheGreyLevelsOfEachSample)
{
    rd::batch::Kymograph k(3, 85.0f);
    k.addRow(std::vector<float> { 0.0f, 1.5f, 3.0f });
    k.addRow(std::vector<float> { 6.0f, 1.0f, 0.0f });
    const QImage img = k.image();
    ASSERT_EQ(img.size(), QSize(3, 2));
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(1, 0), qRgb(128, 128, 128)); // 127.5 rounds to even
    EXPECT_EQ(img.pixel(2, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(0, 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(1, 1), qRgb(85, 85, 85));
}

TEST(BatchRun, TheSavedSetIsTheOnePhaseANames)
{
    for (const auto& [steps, dim] :
        { std::pair { 3, "2" }, std::pair { 4, "2" }, std::pair { 3, "1" } }) {
        const Options o = parse({ "--dim", dim, "--size", "5", "--init", "random", "--seed", "9",
            "--steps", std::to_string(steps) });
        rd::batch::Prepared run = rd::batch::prepareSettings(o);
        rd::batch::initialise(run, o, nullptr);
        rd::batch::advance(run, o.steps, 0, {});
        const bool oneD = std::string(dim) == "1";
        EXPECT_EQ(run.state.phaseA, oneD || steps % 2 == 0 ? rd::kTrue : rd::kFalse);
        const auto u = rd::batch::currentU(run.state, oneD);
        const auto& expected = oneD || run.state.phaseA ? run.state.uA : run.state.uB;
        ASSERT_EQ(u.size(), oneD ? 5u : 25u);
        EXPECT_EQ(u.data(), expected.data());
    }
}

TEST(BatchRun, AFailedStepWritesNoneOfTheFinalOutputsAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string p = dir.path.string();
    // A scaling factor this large overflows u in the first step.
    const Options o = parse(
        { "--size", "8", "--init", "random", "--seed", "1", "--set", "scale=1e37", "--steps", "50",
            "--save", p + "/run", "--image", p + "/frame-%d.png", "--every", "1" });
    rd::batch::Prepared run = rd::batch::prepareSettings(o);
    rd::batch::initialise(run, o, nullptr);
    const auto report = rd::batch::runOne(std::move(run), o, rd::batch::targetsFor(o, ""), nullptr);
    EXPECT_EQ(report.status, rd::batch::RunStatus::ArithmeticError);
    EXPECT_GE(report.iteration, 1);
    EXPECT_TRUE(report.message.starts_with("iteration " + std::to_string(report.iteration)
        + ": Overflow: a value left the single-precision range"))
        << report.message;
    // The frames before the failing step are whole files; nothing else is there.
    std::vector<std::string> frames;
    for (int k = 0; k < report.iteration; ++k)
        frames.push_back("frame-" + std::to_string(k) + ".png");
    std::sort(frames.begin(), frames.end());
    EXPECT_EQ(dir.names(), frames);
    EXPECT_EQ(report.files.size(), frames.size());
}

TEST(BatchRun, AtomicWritesReplaceWholeFilesAndReportTheSystemsReason)
{
    TempDir dir;
    const fs::path target = dir.path / "a.npy";
    const std::string first(100000, 'x'), second = "short";
    rd::batch::writeFileAtomically(target, std::as_bytes(std::span(first)));
    rd::batch::writeFileAtomically(target, std::as_bytes(std::span(second)));
    EXPECT_EQ(rd::batch::readWholeFile(target), "short");
    EXPECT_EQ(dir.names(), std::vector<std::string> { "a.npy" });
    try {
        rd::batch::writeFileAtomically(
            dir.path / "missing" / "b.npy", std::as_bytes(std::span(second)));
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const rd::batch::OutputError& e) {
        EXPECT_EQ(std::string(e.what()),
            "cannot write \"" + (dir.path / "missing" / "b.npy").string()
                + "\": No such file or directory");
    }
    try {
        rd::batch::checkWritable(dir.path / "a.npy" / "c.npy");
        ADD_FAILURE() << "a file taken for a folder";
    } catch (const rd::batch::OutputError& e) {
        EXPECT_NE(std::string(e.what()).find("is not a folder"), std::string::npos) << e.what();
    }
    EXPECT_EQ(dir.names(), std::vector<std::string> { "a.npy" });
}

TEST(BatchRun, SweepCsvListsEveryCombinationWithItsStatusAndFiles)
{
    const Options o = parse({ "--sweep", "kA=0.1:0.2:2", "--sweep", "scale=0:1e37:2", "--size", "4",
        "--steps", "5", "--init", "random", "--seed", "3" });
    const auto combos = rd::batch::combinations(o);
    std::vector<rd::batch::RunReport> reports;
    for (const auto& values : combos) {
        rd::batch::Prepared run = rd::batch::prepareSettings(o, values);
        rd::batch::initialise(run, o, nullptr);
        reports.push_back(
            rd::batch::runOne(std::move(run), o, rd::batch::targetsFor(o, ""), nullptr));
    }
    reports[0].files = { "a,b.npy", "c.npy" };
    const std::string csv = rd::batch::sweepCsv(o, combos, reports);
    const std::string overflow = reports[1].message;
    ASSERT_FALSE(overflow.empty());
    EXPECT_EQ(csv,
        "run,kA,scale,status,iteration,message,files\n"
        "1,0.1,0,ok,,,\"a,b.npy;c.npy\"\n"
        "2,0.1,1e+37,arithmetic error,"
            + std::to_string(reports[1].iteration) + ",\"" + overflow
            + "\",\n"
              "3,0.2,0,ok,,,\n"
              "4,0.2,1e+37,arithmetic error,"
            + std::to_string(reports[3].iteration) + ",\"" + reports[3].message + "\",\n");
}

TEST(BatchRun, LoadedFieldsMustMatchTheSizeAndDimension)
{
    TempDir dir;
    const std::vector<float> nine(9, 0.5f);
    const auto square = rd::npy::encode(std::vector<std::int64_t> { 3, 3 }, nine);
    const auto line = rd::npy::encode(std::vector<std::int64_t> { 9 }, nine);
    rd::batch::writeFileAtomically(dir.path / "sq.npy", square);
    rd::batch::writeFileAtomically(dir.path / "line.npy", line);
    const std::string sq = (dir.path / "sq.npy").string(), ln = (dir.path / "line.npy").string();

    const Options ok = parse({ "--size", "3", "--load-u", sq, "--load-v", sq });
    const auto f = rd::batch::loadFields(ok, 3);
    EXPECT_EQ(f.u, nine);
    rd::batch::Prepared run = rd::batch::prepareSettings(ok);
    rd::batch::initialise(run, ok, &f);
    EXPECT_EQ(run.state.uA,
        (std::vector<float> { 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f }));

    try {
        rd::batch::loadFields(parse({ "--size", "3", "--load-u", sq, "--load-v", ln }), 3);
        ADD_FAILURE() << "a line taken for a square";
    } catch (const rd::batch::UsageError& e) {
        EXPECT_EQ(std::string(e.what()),
            "--load-v \"" + ln
                + "\": shape (9,) does not match --size 3 --dim 2, which need (3, 3)");
    }
    try {
        rd::batch::loadFields(
            parse({ "--dim", "1", "--size", "9", "--load-u", ln, "--load-v", ln + "x" }), 9);
        ADD_FAILURE() << "a missing file read";
    } catch (const rd::batch::UsageError& e) {
        EXPECT_EQ(std::string(e.what()), "--load-v \"" + ln + "x\": No such file or directory");
    }
}

} // namespace
