// Typed models as runs of the library: prepared through the typed intake, stepped as the
// built-ins are, recorded with their whole text and replayed without their file; and the
// scheme's constants dt and dx as settings of every model.
#include "analysis/Dispersion.h"
#include "analysis/Prediction.h"
#include "analysis/Stability.h"
#include "runs/Errors.h"
#include "runs/Maps.h"
#include "runs/ModelAnalysis.h"
#include "runs/Names.h"
#include "runs/Record.h"
#include "runs/Replay.h"
#include "runs/Simulation.h"
#include "settings/ModelFile.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

namespace {

using namespace rd::runs;
namespace fs = std::filesystem;

rd::ModelDescription shipped(const std::string& file)
{
    auto read = rd::readModelFile(std::string(RDSIM_MODELS_DIR) + "/" + file);
    if (const auto* e = std::get_if<rd::ModelFileError>(&read))
        ADD_FAILURE() << e->message;
    return std::get<rd::ModelDescription>(read);
}

RunDescription request(RunModel model, bool oneD, const char* size = "24")
{
    RunDescription s;
    s.model = std::move(model);
    s.oneD = oneD;
    s.size = size;
    s.initial.kind = InitKind::Random;
    s.initial.seed = 5;
    return s;
}

std::vector<float> fieldsAfter(const RunDescription& s, std::int32_t steps, int threads)
{
    Prepared run = prepare(s);
    run.threads = threads;
    initialise(run, s.initial, nullptr);
    advance(run, steps, 0);
    std::vector<float> cells(
        currentU(run.state, run.oneD).begin(), currentU(run.state, run.oneD).end());
    const auto v = currentV(run.state, run.oneD);
    cells.insert(cells.end(), v.begin(), v.end());
    return cells;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
}

// How `f` is refused: "setting=text: message", or "accepted".
template <class F> std::string refusal(F f)
{
    try {
        f();
    } catch (const SettingsError& e) {
        return e.setting() + "=" + e.text() + ": " + e.what();
    }
    return "accepted";
}

fs::path freshFolder(const char* name)
{
    const fs::path folder = fs::temp_directory_path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(TypedRuns, TheRestatedSchnakenbergRunsAsTheBuiltInOnEveryThreadCount)
{
    const rd::ModelDescription file = shipped("schnakenberg.toml");
    for (const bool oneD : { true, false })
        for (const int threads : { 1, 3 }) {
            SCOPED_TRACE(std::to_string(oneD) + " " + std::to_string(threads));
            const auto builtIn = fieldsAfter(request(rd::Model::Schnakenberg, oneD), 1500, threads);
            EXPECT_TRUE(sameBits(fieldsAfter(request(file, oneD), 1500, threads), builtIn));
        }
}

TEST(TypedRuns, SettingsAreTheModelsNamesAndRefusalsNameThem)
{
    RunDescription s = request(shipped("brusselator.toml"), false);
    EXPECT_EQ(settingNamesText(s.model), "uMax, vMax, scale, Du, Dv, a, b, dt or dx");
    EXPECT_EQ(
        settingNamesText(rd::Model::Schnakenberg), "uMax, vMax, scale, Du, Dv, kA, kB, dt or dx");
    using Refused = std::tuple<const char*, const char*, const char*>;
    for (const auto& [name, text, message] : {
             Refused {
                 "kA", "1", "unknown setting \"kA\" (uMax, vMax, scale, Du, Dv, a, b, dt or dx)" },
             Refused { "b", "x", "parameter b of Brusselator: \"x\" is not a number." },
             Refused { "Dv", "1e39",
                 "Dv of Brusselator: \"1e39\" is too large (the limit is about 3.4e38)." },
             Refused { "dx", "0", "cell size dx: \"0\" must be greater than 0." },
         }) {
        RunDescription bad = s;
        bad.settings[name] = text;
        EXPECT_EQ(
            refusal([&] { prepare(bad, false); }), std::string(name) + "=" + text + ": " + message);
    }
    auto& d = std::get<rd::ModelDescription>(s.model);
    d.rateV = "b*u - u^2*w";
    EXPECT_THROW(prepare(s, false), ModelError);
}

TEST(TypedRuns, SettingsOverrideTheParametersAndTheFilesStartUpTexts)
{
    RunDescription s = request(shipped("brusselator.toml"), false);
    s.settings = { { "b", "8" }, { "Du", "3" } };
    const Prepared run = prepare(s, false);
    const auto& typed = std::get<rd::TypedModel>(run.model);
    EXPECT_EQ(typed.values, (std::vector<float> { 4.5f, 8.0f }));
    EXPECT_EQ(run.state.Du, 3.0f);
    EXPECT_EQ(run.state.Dv, 16.0f); // the file's
    EXPECT_EQ(run.state.reactGain, 0.005f);
    EXPECT_EQ(settingTexts(s),
        (std::map<std::string, std::string> { { "Du", "3" }, { "Dv", "16" }, { "a", "4.5" },
            { "b", "8" }, { "scale", "0.005" }, { "uMax", "9" }, { "vMax", "4" } }));
}

TEST(TypedRuns, ARecordHoldsTheModelAndReplaysWithoutItsFile)
{
    const fs::path folder = freshFolder("rdsim-typed-record-test");
    const fs::path file = folder / "mine.toml";
    fs::copy_file(fs::path(RDSIM_MODELS_DIR) / "barrio-varea-aragon-maini.toml", file);
    auto read = rd::readModelFile(file);
    ASSERT_TRUE(std::holds_alternative<rd::ModelDescription>(read));
    RunDescription s = request(std::get<rd::ModelDescription>(read), false, "16");
    s.settings["r2"] = "0.02";
    // Unclamped: signed fields, loaded, saved with the run and compared on replay.
    s.initial.kind = InitKind::Load;
    for (int k = 0; k < 256; ++k) {
        s.initial.u.push_back(0.3f * std::sin(0.1f * float(k * k)));
        s.initial.v.push_back(0.2f * std::cos(0.7f * float(k)));
    }
    Simulation sim(s, "test");
    sim.advance(400);
    EXPECT_LT(*std::min_element(sim.u().begin(), sim.u().end()), 0.0f);
    sim.save((folder / "run").string());
    const QJsonObject record = readRecordFile((folder / "run.json").string());
    const QJsonObject settings = record["settings"].toObject();
    const QJsonObject model = settings["model"].toObject();
    EXPECT_EQ(model["name"].toString(), "Barrio-Varea-Aragon-Maini");
    EXPECT_EQ(model["clamp"].toBool(), false);
    EXPECT_EQ(model["parameters"].toArray().size(), 5);
    const QJsonObject coefficients = settings["coefficients"].toObject();
    EXPECT_EQ(coefficients["parameters"].toObject()["r2"].toDouble(), double { 0.02f });
    // The file changes and then goes: the record replays what it describes.
    std::ofstream(file) << "name = \"changed\"\n";
    fs::remove(file);
    const RunDescription again = requestOfRecord(record, folder);
    const auto& d = std::get<rd::ModelDescription>(again.model);
    const auto& was = std::get<rd::ModelDescription>(s.model);
    EXPECT_EQ(std::tie(d.rateU, d.rateV, d.clamp), std::tie(was.rateU, was.rateV, was.clamp));
    ASSERT_TRUE(d.bounds.has_value());
    EXPECT_EQ(d.bounds->uLow, -1.5);
    const ReplayResult r = replay(record, folder, "test");
    EXPECT_EQ(r.verdict, ReplayVerdict::Reproduced) << r.lines.front();
    EXPECT_EQ(r.fieldsSha256, fieldsSha256(sim.u(), sim.v()));
}

TEST(TypedRuns, SignedFieldsLoadOnlyForUnclampedModels)
{
    RunDescription s = request(shipped("fitzhugh-nagumo.toml"), true, "4");
    s.initial = { InitKind::Load, 0, "", "", { -0.5f, 0.25f, 0.0f, 1.0f }, { 0, 0, 0, -1 } };
    bool& clamp = std::get<rd::ModelDescription>(s.model).clamp;
    clamp = false;
    Simulation sim(s, "test");
    EXPECT_EQ(sim.u()[0], -0.5f);
    sim.advance(3);
    EXPECT_LT(sim.u()[0], 0.0f);
    clamp = true;
    EXPECT_THROW(Simulation(s, "test"), FieldFileError);
}

TEST(TypedRuns, FindingsPredictFromTheModelsOwnAnalysis)
{
    // The shipped Brusselator (a = 4.5, b = 7.5, Du/Dv = 1/8) rests at (a, b/a) and is past
    // its Turing threshold (1 + a sqrt(Du/Dv))^2 = 6.71.
    Simulation sim(request(shipped("brusselator.toml"), false, "32"), "test");
    sim.advance(2000);
    const RunFindings f = sim.findings();
    EXPECT_EQ(f.predictedClass, rd::analysis::className(rd::analysis::StateClass::TuringUnstable));
    EXPECT_NEAR(f.stateU, 4.5, 4.5e-12);
    EXPECT_NEAR(f.stateV, 7.5 / 4.5, 1e-12);
    EXPECT_GT(f.predicted, 2.0);
    EXPECT_EQ(f.pointClass, "turing");
    EXPECT_TRUE(std::isfinite(f.measured));
    EXPECT_GT(f.contrast, 0.0);
}

TEST(SchemeConstants, RecordedOnlyWhereSetAndReplayed)
{
    const fs::path folder = freshFolder("rdsim-scheme-constants-test");
    for (const bool withSteps : { false, true }) {
        RunDescription s = request(rd::Model::GiererMeinhardt, false, "16");
        if (withSteps)
            s.settings = { { "dt", "0.5" }, { "dx", "0.008" } };
        Simulation sim(s, "test");
        sim.advance(50);
        const QJsonObject settings = sim.record()["settings"].toObject();
        const QJsonObject boxes = settings["boxes"].toObject();
        EXPECT_EQ(boxes.contains("dt"), withSteps);
        EXPECT_EQ(boxes.contains("dx"), withSteps);
        EXPECT_EQ(boxes.size(), withSteps ? 10 : 8);
        const QJsonObject c = settings["coefficients"].toObject();
        EXPECT_EQ(c["dt"].toDouble(), withSteps ? 0.5 : 1.0);
        EXPECT_EQ(c["dx"].toDouble(), double { withSteps ? 0.008f : 0.01f });
        const std::string prefix = (folder / (withSteps ? "set" : "unset")).string();
        sim.save(prefix);
        const ReplayResult r = replay(readRecordFile(prefix + ".json"), folder, "test");
        EXPECT_EQ(r.verdict, ReplayVerdict::Reproduced) << r.lines.front();
    }
    // A record whose coefficients no longer follow from its texts says which.
    RunDescription s = request(rd::Model::GiererMeinhardt, false, "16");
    s.settings = { { "dt", "0.5" } };
    Simulation sim(s, "test");
    QJsonObject record = sim.record();
    QJsonObject settings = record["settings"].toObject();
    QJsonObject boxes = settings["boxes"].toObject();
    boxes["dt"] = "0.25";
    settings["boxes"] = boxes;
    record["settings"] = settings;
    const ReplayResult r = replay(record, folder, "test");
    EXPECT_EQ(r.verdict, ReplayVerdict::Differs);
    EXPECT_EQ(
        r.lines.front(), "the settings now give cu = 0.00250000018; the record has 0.00500000035");
}

TEST(SchemeConstants, TheAnalyticMapTakesThemFromItsBase)
{
    MapDescription m;
    m.base = request(rd::Model::GiererMeinhardt, false, "16");
    m.base.settings = { { "dt", "0.25" } };
    m.x = mapAxis(m.base, "kA", { "0.1", "0.2" });
    m.y = mapAxis(m.base, "kB", { "1.5" });
    const AnalyticMap map = classifyMap(m, 1);
    const rd::SimState s = prepare(m.base, false).state;
    EXPECT_EQ(map.base.cu, double { s.cu });
    EXPECT_EQ(map.base.gainV, double { s.reactGain });
    const auto dtAxis = [&] { mapAxis(m.base, "dt", { "1", "2" }); };
    EXPECT_EQ(refusal(dtAxis),
        "dt=: the time step and the cell size change every coefficient at once, so they are no "
        "axis of a map (sweep them instead)");
}

TEST(TypedRuns, MapsOfTypedModelsClassifyEveryPointAsItsOwnRun)
{
    MapDescription m;
    m.base = request(shipped("brusselator.toml"), false, "12");
    m.base.steps = 50;
    m.x = mapAxis(m.base, "a", { "4", "5" });
    m.y = mapAxis(m.base, "Du", { "1", "2", "3" });
    EXPECT_FALSE(m.x.field.has_value());
    EXPECT_EQ(m.x.startUp, 4.5);
    EXPECT_EQ(m.y.field, rd::BoxField::Du);
    const AnalyticMap map = classifyMap(m, 2);
    ASSERT_EQ(map.points.size(), 6u);
    const rd::analysis::ModeTable table(12, false);
    for (std::size_t k = 0; k < map.points.size(); ++k) {
        RunDescription point = m.base;
        point.settings["a"] = m.x.texts[k % 2];
        point.settings["Du"] = m.y.texts[k / 2];
        const auto alone = rd::analysis::classifyPoint(schemeOf(prepare(point, false)), table);
        const auto& p = map.points[k];
        EXPECT_EQ(p.kind, alone.kind) << k;
        EXPECT_EQ(std::isnan(p.wavelength) ? 0 : p.wavelength,
            std::isnan(alone.wavelength) ? 0 : alone.wavelength)
            << k;
        ASSERT_EQ(p.stateCount, 1) << k;
        EXPECT_EQ(p.states[0].u, alone.states[0].u) << k;
    }
    // Threshold b_c = (1 + a sqrt(Du/16))^2: 4 at a = 4, Du = 1; 10 at a = 5, Du = 3; b = 7.5.
    EXPECT_EQ(map.points[0].kind, rd::analysis::PointClass::TuringUnstable);
    EXPECT_EQ(map.points[5].kind, rd::analysis::PointClass::Stable);
    EXPECT_NEAR(map.points[1].states[0].u, 5.0, 5e-12);
    const SimulatedMap runs = simulateMap(m, map, { 0, 5 }, { 1, 1 });
    EXPECT_TRUE(runs.points[0].ran && runs.points[5].ran && !runs.points[1].ran);
    MapDescription bad = m;
    bad.x.texts = { "4", "x" };
    EXPECT_EQ(refusal([&] { classifyMap(bad, 1); }),
        "a=x: parameter a of Brusselator: \"x\" is not a number.");
}

} // namespace
