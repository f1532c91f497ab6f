// A simulation started from arrays rather than files: the arrays pass the checks of a field
// file, its record names their SHA-256 as .npy files, and what save writes replays.
#include "runs/Simulation.h"
#include "fieldfiles/Npy.h"
#include "runs/Errors.h"
#include "runs/Record.h"
#include "runs/Replay.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

namespace {

using namespace rd::runs;
namespace fs = std::filesystem;

RunDescription fromArrays(std::vector<float> u, std::vector<float> v)
{
    RunDescription request;
    request.model = rd::Model::GrayScott;
    request.size = "12";
    request.initial.kind = InitKind::Load;
    request.initial.u = std::move(u);
    request.initial.v = std::move(v);
    return request;
}

std::vector<float> ramp(float scale)
{
    std::vector<float> cells(144);
    for (std::size_t k = 0; k < cells.size(); ++k)
        cells[k] = scale * static_cast<float>(k % 13) / 13.0f;
    return cells;
}

TEST(SimulationFromArrays, RefusesWhatAFieldFileMayNotHold)
{
    using Bad = std::pair<float, const char*>;
    for (const auto& [value, what] : { Bad { NAN, "NaN" }, Bad { -0.5f, "negative (-0.5)" },
             Bad { std::numeric_limits<float>::infinity(), "infinite" } }) {
        std::vector<float> v = ramp(1);
        v[7] = value;
        try {
            Simulation sim(fromArrays(ramp(1), v), "test");
            ADD_FAILURE() << "accepted " << what;
        } catch (const FieldFileError& e) {
            EXPECT_EQ(std::string(e.what()),
                std::string("the field of v: element 7 is ") + what
                    + "; a field holds finite values of at least 0");
            EXPECT_EQ(e.species(), 'v');
        }
    }
    EXPECT_THROW(Simulation(fromArrays(ramp(1), std::vector<float>(143)), "test"), FieldFileError);
}

TEST(SimulationFromArrays, RecordsTheArraysAndSavesThemForItsReplay)
{
    Simulation sim(fromArrays(ramp(0.5f), ramp(1)), "test");
    sim.advance(60);
    const std::vector<std::int64_t> shape { 12, 12 };
    const QJsonObject initial = sim.record().value("initial").toObject();
    EXPECT_EQ(initial.value("kind").toString(), "load");
    EXPECT_EQ(initial.value("u").toObject(),
        QJsonObject({ { "sha256",
            QString::fromStdString(bytesSha256(rd::npy::encode(shape, ramp(0.5f)))) } }));

    const fs::path folder = fs::temp_directory_path() / "rdsim-simulation-test";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto files = sim.save((folder / "run").string());
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(fs::path(files[0]).filename(), "run-initial-u.npy");
    EXPECT_EQ(fs::path(files[1]).filename(), "run-initial-v.npy");
    const QJsonObject record = readRecordFile((folder / "run.json").string());
    EXPECT_EQ(record.value("initial").toObject().value("v").toObject().value("file").toString(),
        "run-initial-v.npy");
    const ReplayResult r = replay(record, folder, "test");
    EXPECT_EQ(r.verdict, ReplayVerdict::Reproduced);
    EXPECT_EQ(r.steps, 60);
    EXPECT_EQ(r.fieldsSha256, fieldsSha256(sim.u(), sim.v()));
    fs::remove_all(folder);
}

} // namespace
