#include "batch/ReplayCommand.h"

#include "batch/BatchRun.h"
#include "batch/Npy.h"
#include "batch/Provenance.h"
#include "batch/RunScale.h"
#include "engine/Quoted.h"

#include <QFile>
#include <QImageReader>
#include <QJsonDocument>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <thread>

namespace rd::batch {

namespace fs = std::filesystem;

namespace {

constexpr qint64 kMaxRecordBytes = 1 << 20; // a record is a few kilobytes

// A record that cannot be replayed: unreadable, or without what a run needs.
class RecordError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

QJsonObject readRecord(const std::string& file)
{
    QFile f(QString::fromStdString(file));
    if (!f.open(QIODevice::ReadOnly))
        throw RecordError(f.errorString().toStdString());
    QByteArray text;
    if (f.peek(8) == QByteArray("\x89PNG\r\n\x1a\n", 8)) {
        f.close();
        QImageReader reader(QString::fromStdString(file), "png");
        text = reader.text(kRecordKey).toUtf8();
        if (text.isEmpty())
            throw RecordError("the picture carries no record");
    } else {
        if (f.size() > kMaxRecordBytes)
            throw RecordError("too large for a record");
        text = f.readAll();
    }
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (!doc.isObject())
        throw RecordError("not a record (" + error.errorString().toStdString() + ")");
    return doc.object();
}

QJsonValue member(const QJsonObject& o, const char* key, QJsonValue::Type type)
{
    const QJsonValue v = o.value(key);
    if (v.type() != type)
        throw RecordError(std::string("the record's \"") + key + "\" is missing or not valid");
    return v;
}

std::string text(const QJsonObject& o, const char* key)
{
    return member(o, key, QJsonValue::String).toString().toStdString();
}

int whole(const QJsonObject& o, const char* key, int lo, int hi)
{
    const double d = member(o, key, QJsonValue::Double).toDouble();
    if (!(d >= lo && d <= hi) || d != static_cast<int>(d))
        throw RecordError(std::string("the record's \"") + key + "\" is not valid");
    return static_cast<int>(d);
}

// The options of the recorded run; files are named relative to the record's folder.
Options optionsOf(const QJsonObject& record, const fs::path& folder)
{
    const QJsonObject settings = member(record, "settings", QJsonValue::Object).toObject();
    const QJsonObject initial = member(record, "initial", QJsonValue::Object).toObject();
    Options o;
    const auto model = modelByOptionName(text(settings, "model"));
    if (!model)
        throw RecordError(
            "the record's model " + rd::quoted(text(settings, "model")) + " is unknown");
    o.model = *model;
    o.oneD = whole(settings, "dimension", 1, 2) == 1;
    o.sizeText = text(settings, "size");
    o.boxes = defaultBoxTexts(o.model);
    const QJsonObject boxes = member(settings, "boxes", QJsonValue::Object).toObject();
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        const auto field = fieldByName(it.key().toStdString());
        if (!field || slotOf(o.model, *field) < 0 || !it.value().isString())
            throw RecordError(
                "the record's setting " + rd::quoted(it.key().toStdString()) + " is unknown");
        o.boxes[static_cast<std::size_t>(slotOf(o.model, *field))]
            = it.value().toString().toStdString();
    }
    if (settings.contains("every"))
        o.every = whole(settings, "every", 1, std::numeric_limits<int>::max());
    o.steps = whole(record, "steps", 0, std::numeric_limits<int>::max());
    const std::string kind = text(initial, "kind");
    if (kind == "random" || kind == "seeded") {
        const std::string seed = text(initial, "seed");
        const auto r = std::from_chars(seed.data(), seed.data() + seed.size(), o.seed);
        if (r.ec != std::errc() || r.ptr != seed.data() + seed.size())
            throw RecordError("the record's seed " + rd::quoted(seed) + " is not valid");
        o.init = kind == "random" ? InitKind::Random : InitKind::Seeded;
    } else if (kind == "load") {
        o.init = InitKind::Load;
        const auto file = [&](const char* species) {
            const QJsonObject e = member(initial, species, QJsonValue::Object).toObject();
            return (folder / text(e, "file")).lexically_normal().string();
        };
        o.loadU = file("u");
        o.loadV = file("v");
    } else if (kind != "zero") {
        throw RecordError("the record's initial state " + rd::quoted(kind) + " is unknown");
    }
    return o;
}

std::string valueText(float x)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", double { x });
    return buffer;
}

// "u[3, 7] (cell 391)" in 2D, "u[391]" in 1D.
std::string cellText(char species, std::size_t index, std::int32_t n, bool oneD)
{
    const std::string k = std::to_string(index);
    if (oneD)
        return std::string(1, species) + "[" + k + "]";
    return std::string(1, species) + "[" + std::to_string(index / static_cast<std::size_t>(n))
        + ", " + std::to_string(index % static_cast<std::size_t>(n)) + "] (cell " + k + ")";
}

struct Verdict {
    bool differs = false; // the re-run against the record
    bool fileChanged = false; // a file against the record
};

// Compares a saved field file with the re-run's field and its recorded SHA-256.
void compareSaved(char species, const fs::path& path, const std::string& recorded,
    std::span<const float> rerun, const Prepared& run, std::FILE* out, Verdict& v)
{
    const std::string name = path.string();
    if (!fs::exists(path)) {
        std::fprintf(out, "%s: not found, not compared\n", name.c_str());
        return;
    }
    std::vector<std::byte> bytes;
    auto decoded = npy::load(name, &bytes);
    if (const auto* why = std::get_if<std::string>(&decoded)) {
        std::fprintf(out, "%s: no longer matches its record (%s)\n", name.c_str(), why->c_str());
        v.fileChanged = true;
        return;
    }
    const std::string now = bytesSha256(bytes);
    if (now != recorded) {
        std::fprintf(out, "%s: no longer matches its record (SHA-256 %s, recorded %s)\n",
            name.c_str(), now.c_str(), recorded.c_str());
        v.fileChanged = true;
    }
    const std::vector<float>& saved = std::get<npy::Array>(decoded).data;
    if (saved.size() != rerun.size()) {
        std::fprintf(
            out, "%s: holds %zu cells, the re-run %zu\n", name.c_str(), saved.size(), rerun.size());
        v.fileChanged = true;
        return;
    }
    for (std::size_t k = 0; k < saved.size(); ++k)
        if (std::memcmp(&saved[k], &rerun[k], sizeof(float)) != 0) {
            std::fprintf(out, "%s: first differing cell %s: saved %s, re-run %s\n", name.c_str(),
                cellText(species, k, run.state.nCells, run.oneD).c_str(),
                valueText(saved[k]).c_str(), valueText(rerun[k]).c_str());
            if (now == recorded)
                v.differs = true;
            return;
        }
}

int replay(const std::string& file, std::FILE* out)
{
    const QJsonObject record = readRecord(file);
    const fs::path folder = fs::path(file).parent_path();
    Options o = optionsOf(record, folder);
    const std::string by = text(record, "program");
    if (by != programVersion())
        std::fprintf(
            out, "note: recorded by %s, replayed by %s\n", by.c_str(), programVersion().c_str());
    const QJsonObject fields = member(record, "fields", QJsonValue::Object).toObject();
    const std::string recordedSha = text(fields, "sha256");

    Prepared run = prepareSettings(o);
    Verdict verdict;
    const QJsonObject recorded = member(member(record, "settings", QJsonValue::Object).toObject(),
        "coefficients", QJsonValue::Object)
                                     .toObject();
    const QJsonObject derived = coefficientsOf(run.state);
    for (auto it = derived.begin(); it != derived.end(); ++it)
        if (recorded.value(it.key()) != it.value()) {
            std::fprintf(out, "the settings now give %s = %.9g; the record has %s\n",
                it.key().toUtf8().constData(), it.value().toDouble(),
                recorded.value(it.key()).isDouble()
                    ? QByteArray::number(recorded.value(it.key()).toDouble(), 'g', 9).constData()
                    : "none");
            verdict.differs = true;
        }

    LoadedFields loaded;
    if (o.init == InitKind::Load) {
        try {
            loaded = loadFields(o, run.state.nCells);
        } catch (const UsageError& e) {
            std::fprintf(out, "initial state: %s\n", e.what());
            return kExitFileChanged;
        }
        const QJsonObject initial = record.value("initial").toObject();
        bool changed = false;
        for (const auto& [species, path, sha] : { std::tuple { "u", &o.loadU, &loaded.uSha256 },
                 std::tuple { "v", &o.loadV, &loaded.vSha256 } }) {
            const std::string want = text(initial.value(species).toObject(), "sha256");
            if (*sha != want) {
                std::fprintf(out,
                    "%s: the initial field changed since the record (SHA-256 %s, recorded %s)\n",
                    path->c_str(), sha->c_str(), want.c_str());
                changed = true;
            }
        }
        if (changed)
            return kExitFileChanged;
    }
    run.threads = shareCores(o, run.state.nCells, 1, std::thread::hardware_concurrency()).threads;
    initialise(run, o, &loaded);
    try {
        advance(run, o.steps, 0, {});
    } catch (const StepFailed& e) {
        std::fprintf(out, "the re-run failed in iteration %d: %s\n", e.iteration(), e.what());
        return kExitArithmetic;
    }

    const auto u = currentU(run.state, run.oneD), v = currentV(run.state, run.oneD);
    const std::string sha = fieldsSha256(u, v);
    const QJsonObject saved = record.value("saved").toObject();
    for (const char species : { 'u', 'v' }) {
        const QJsonObject e = saved.value(QString(QChar(species))).toObject();
        if (!e.isEmpty())
            compareSaved(species, (folder / text(e, "file")).lexically_normal(), text(e, "sha256"),
                species == 'u' ? u : v, run, out, verdict);
    }
    if (sha != recordedSha) {
        std::fprintf(out, "the re-run's fields differ from the record (SHA-256 %s, recorded %s)\n",
            sha.c_str(), recordedSha.c_str());
        verdict.differs = true;
    }
    if (verdict.differs)
        return kExitDiffers;
    if (verdict.fileChanged)
        return kExitFileChanged;
    std::fprintf(
        out, "reproduced bit for bit: %d steps, fields SHA-256 %s\n", o.steps, sha.c_str());
    return kExitOk;
}

} // namespace

int runReplay(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("Usage: rdsim-batch replay FILE\n"
                   "Runs again the run that FILE (a run's .json record, or a PNG it wrote) "
                   "records and compares\nthe final fields with the record and with the saved "
                   ".npy files. Exit status: 0 reproduced\nbit for bit, 1 the re-run differs "
                   "from the record, 2 no usable record, 3 an arithmetic error\nin the re-run, "
                   "5 out of memory, 6 a file the record names has changed since.\n",
            out);
        return kExitOk;
    }
    if (argc != 2 || std::strncmp(argv[1], "--", 2) == 0) {
        std::fputs("rdsim-batch replay: expected one record file (see replay --help)\n", err);
        return kExitUsage;
    }
    const std::string file = argv[1];
    try {
        const int status = replay(file, out);
        std::fflush(out);
        return status;
    } catch (const RecordError& e) {
        std::fprintf(err, "rdsim-batch replay: %s: %s\n", rd::quoted(file).c_str(), e.what());
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch replay: %s: the record's settings are refused: %s\n",
            rd::quoted(file).c_str(), e.what());
    } catch (const std::bad_alloc&) {
        std::fputs("rdsim-batch replay: out of memory\n", err);
        return kExitMemory;
    }
    return kExitUsage;
}

} // namespace rd::batch
