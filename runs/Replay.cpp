#include "runs/Replay.h"

#include "engine/Quoted.h"
#include "fieldfiles/Npy.h"
#include "output/InputFile.h"
#include "runs/Errors.h"
#include "runs/Names.h"
#include "runs/Record.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>

namespace rd::runs {

namespace fs = std::filesystem;

namespace {

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

// A SHA-256 as the record writes it: 64 lower-case hexadecimal digits.
std::string sha256Text(const QJsonObject& o, const char* key)
{
    const std::string sha = text(o, key);
    if (sha.size() != 64 || sha.find_first_not_of("0123456789abcdef") != std::string::npos)
        throw RecordError(std::string("the record's \"") + key + "\" is not a SHA-256");
    return sha;
}

int whole(const QJsonObject& o, const char* key, int lo, int hi)
{
    const double d = member(o, key, QJsonValue::Double).toDouble();
    if (!(d >= lo && d <= hi) || d != static_cast<int>(d))
        throw RecordError(std::string("the record's \"") + key + "\" is not valid");
    return static_cast<int>(d);
}

std::string format(const char* fmt, auto... args)
{
    char buffer[600];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

std::string valueText(float x)
{
    return format("%.9g", double { x });
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

// A typed model's full text from its record (modelRecord); the intake compiles it.
ModelDescription modelOfRecord(const QJsonObject& m)
{
    ModelDescription d;
    d.name = text(m, "name");
    if (std::string why = modelNameComplaint(d.name); !why.empty())
        throw RecordError("the record's model name " + rd::quoted(d.name) + ": " + why);
    d.rateU = text(m, "rate-u");
    d.rateV = text(m, "rate-v");
    d.clamp = member(m, "clamp", QJsonValue::Bool).toBool();
    for (const QJsonValue p : member(m, "parameters", QJsonValue::Array).toArray()) {
        if (!p.isObject())
            throw RecordError("the record's \"parameters\" is not valid");
        d.parameters.push_back({ text(p.toObject(), "name"), text(p.toObject(), "default") });
    }
    if (m.contains("analysis")) {
        const QJsonObject box = member(m, "analysis", QJsonValue::Object).toObject();
        std::array<double, 4> ends {};
        for (int k = 0; k < 4; ++k) {
            const QJsonArray range = member(box, k < 2 ? "u" : "v", QJsonValue::Array).toArray();
            if (range.size() != 2 || !range[k % 2].isDouble())
                throw RecordError("the record's \"analysis\" is not valid");
            ends[static_cast<std::size_t>(k)] = range[k % 2].toDouble();
        }
        d.bounds = AnalysisBounds { ends[0], ends[1], ends[2], ends[3] };
    }
    return d;
}

// The coefficients as name and value, a typed model's parameters as "parameter NAME".
std::map<std::string, QJsonValue> flatCoefficients(const QJsonObject& c)
{
    std::map<std::string, QJsonValue> flat;
    for (auto it = c.begin(); it != c.end(); ++it) {
        if (it.key() != "parameters" || !it.value().isObject()) {
            flat[it.key().toStdString()] = it.value();
            continue;
        }
        const QJsonObject parameters = it.value().toObject();
        for (auto p = parameters.begin(); p != parameters.end(); ++p)
            flat["parameter " + p.key().toStdString()] = p.value();
    }
    return flat;
}

struct Verdict {
    bool differs = false; // the re-run against the record
    bool fileChanged = false; // a file against the record
};

// Compares a saved field file with the re-run's field and its recorded SHA-256.
void compareSaved(char species, const fs::path& path, const std::string& recorded,
    std::span<const float> rerun, const Prepared& run, bool signedValues, ReplayResult& result,
    Verdict& v)
{
    const std::string name = rd::quoted(path.string());
    if (!fs::exists(path)) {
        result.lines.push_back(name + ": not found, not compared");
        return;
    }
    std::vector<std::byte> bytes;
    auto decoded = npy::load(path.string(), &bytes, signedValues);
    if (const auto* why = std::get_if<std::string>(&decoded)) {
        result.lines.push_back(name + ": no longer matches its record (" + *why + ")");
        v.fileChanged = true;
        return;
    }
    const std::string now = bytesSha256(bytes);
    if (now != recorded) {
        result.lines.push_back(name + ": no longer matches its record (SHA-256 " + now
            + ", recorded " + recorded + ")");
        v.fileChanged = true;
    }
    const std::vector<float>& saved = std::get<npy::Array>(decoded).data;
    if (saved.size() != rerun.size()) {
        result.lines.push_back(format(
            "%s: holds %zu cells, the re-run %zu", name.c_str(), saved.size(), rerun.size()));
        v.fileChanged = true;
        return;
    }
    for (std::size_t k = 0; k < saved.size(); ++k)
        if (std::memcmp(&saved[k], &rerun[k], sizeof(float)) != 0) {
            result.lines.push_back(name + ": first differing cell "
                + cellText(species, k, run.state.nCells, run.oneD) + ": saved "
                + valueText(saved[k]) + ", re-run " + valueText(rerun[k]));
            if (now == recorded)
                v.differs = true;
            return;
        }
}

struct SavedEntry {
    char species;
    fs::path path;
    std::string sha256;
};

// The saved fields a record names: none, or both species, each a file name and its SHA-256. A
// "saved" that names no usable file is refused, not passed over: a replay that compared
// nothing must not report success.
std::vector<SavedEntry> savedFiles(const QJsonObject& record, const fs::path& folder)
{
    if (!record.contains("saved"))
        return {};
    const auto unusable = [] {
        return RecordError("the record's \"saved\" names no usable saved file (it needs the "
                           "\"file\" and \"sha256\" of u and of v)");
    };
    const QJsonValue saved = record.value("saved");
    if (!saved.isObject())
        throw unusable();
    std::vector<SavedEntry> entries;
    for (const char species : { 'u', 'v' }) {
        const QJsonValue e = saved.toObject().value(QString(QChar(species)));
        const QJsonValue file = e.toObject().value("file");
        if (!e.isObject() || !file.isString() || file.toString().isEmpty())
            throw unusable();
        const fs::path path = (folder / file.toString().toStdString()).lexically_normal();
        if (path.filename().empty())
            throw unusable();
        entries.push_back({ species, path, sha256Text(e.toObject(), "sha256") });
    }
    return entries;
}

} // namespace

QJsonObject readRecordFile(const std::string& file)
{
    std::vector<std::byte> bytes;
    try {
        bytes = output::readInput(file, kMaxRecordBytes);
    } catch (const output::InputError& e) {
        if (std::string_view(e.what()).starts_with("larger than"))
            throw RecordError(
                "too large for a record (more than " + std::to_string(kMaxRecordBytes) + " bytes)");
        throw RecordError(e.what());
    }
    const QByteArray text(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (!doc.isObject())
        throw RecordError("not a record (" + error.errorString().toStdString() + ")");
    return doc.object();
}

RunDescription requestOfRecord(const QJsonObject& record, const fs::path& folder)
{
    const QJsonObject settings = member(record, "settings", QJsonValue::Object).toObject();
    const QJsonObject initial = member(record, "initial", QJsonValue::Object).toObject();
    RunDescription request;
    if (settings.value("model").isObject()) {
        request.model = modelOfRecord(settings.value("model").toObject());
    } else {
        const auto model = modelByName(text(settings, "model"));
        if (!model)
            throw RecordError(
                "the record's model " + rd::quoted(text(settings, "model")) + " is unknown");
        request.model = *model;
    }
    request.oneD = whole(settings, "dimension", 1, 2) == 1;
    request.size = text(settings, "size");
    const QJsonObject boxes = member(settings, "boxes", QJsonValue::Object).toObject();
    const std::vector<std::string> names = settingNames(request.model);
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        const std::string name = it.key().toStdString();
        if (std::find(names.begin(), names.end(), name) == names.end() || !it.value().isString())
            throw RecordError("the record's setting " + rd::quoted(name) + " is unknown");
        request.settings[name] = it.value().toString().toStdString();
    }
    // What the command line refuses, a record cannot ask for.
    if (settings.contains("every"))
        request.every = whole(settings, "every", 1, kMaxSteps);
    request.steps = whole(record, "steps", 0, kMaxSteps);
    const std::string kind = text(initial, "kind");
    if (kind == "random" || kind == "seeded") {
        const std::string seed = text(initial, "seed");
        const auto r
            = std::from_chars(seed.data(), seed.data() + seed.size(), request.initial.seed);
        if (r.ec != std::errc() || r.ptr != seed.data() + seed.size())
            throw RecordError("the record's seed " + rd::quoted(seed) + " is not valid");
        request.initial.kind = kind == "random" ? InitKind::Random : InitKind::Seeded;
    } else if (kind == "load") {
        request.initial.kind = InitKind::Load;
        const auto file = [&](const char* species) {
            const QJsonObject e = member(initial, species, QJsonValue::Object).toObject();
            return (folder / text(e, "file")).lexically_normal().string();
        };
        request.initial.uFile = file("u");
        request.initial.vFile = file("v");
    } else if (kind != "zero") {
        throw RecordError("the record's initial state " + rd::quoted(kind) + " is unknown");
    }
    return request;
}

ReplayResult replay(const QJsonObject& record, const fs::path& folder, std::string_view program,
    const StepHooks& hooks)
{
    ReplayResult result;
    const RunDescription request = requestOfRecord(record, folder);
    result.steps = request.steps;
    const std::string by = text(record, "program");
    if (by != programVersion(program))
        result.lines.push_back(
            "note: recorded by " + rd::quoted(by) + ", replayed by " + programVersion(program));
    const QJsonObject fields = member(record, "fields", QJsonValue::Object).toObject();
    const std::string recordedSha = sha256Text(fields, "sha256");
    const auto saved = savedFiles(record, folder);

    Prepared run = prepare(request);
    Verdict verdict;
    const QJsonObject recorded = member(member(record, "settings", QJsonValue::Object).toObject(),
        "coefficients", QJsonValue::Object)
                                     .toObject();
    const auto was = flatCoefficients(recorded);
    for (const auto& [name, value] : flatCoefficients(coefficientsOf(run))) {
        const auto it = was.find(name);
        const QJsonValue then = it == was.end() ? QJsonValue() : it->second;
        if (then != value) {
            result.lines.push_back(format("the settings now give %s = %.9g; the record has %s",
                name.c_str(), value.toDouble(),
                then.isDouble() ? QByteArray::number(then.toDouble(), 'g', 9).constData()
                                : "none"));
            verdict.differs = true;
        }
    }

    LoadedFields loaded;
    if (request.initial.kind == InitKind::Load) {
        try {
            loaded = loadFields(
                request.initial, run.state.nCells, run.oneD, signedFields(request.model));
        } catch (const FieldFileError& e) {
            result.lines.push_back(std::string("initial state: ") + e.what());
            result.verdict = ReplayVerdict::FileChanged;
            return result;
        }
        const QJsonObject initial = record.value("initial").toObject();
        bool changed = false;
        for (const auto& [species, path, sha] :
            { std::tuple { "u", &request.initial.uFile, &loaded.uSha256 },
                std::tuple { "v", &request.initial.vFile, &loaded.vSha256 } }) {
            const std::string want = sha256Text(initial.value(species).toObject(), "sha256");
            if (*sha != want) {
                result.lines.push_back(rd::quoted(*path)
                    + ": the initial field changed since the record " + "(SHA-256 " + *sha
                    + ", recorded " + want + ")");
                changed = true;
            }
        }
        if (changed) {
            result.verdict = ReplayVerdict::FileChanged;
            return result;
        }
    }
    initialise(run, request.initial, &loaded);
    try {
        advance(run, request.steps, 0, hooks);
    } catch (const StepFailed& e) {
        result.lines.push_back(
            format("the re-run failed in iteration %d: %s", e.iteration(), e.what()));
        result.verdict = ReplayVerdict::ArithmeticError;
        return result;
    }

    const auto u = currentU(run.state, run.oneD), v = currentV(run.state, run.oneD);
    result.fieldsSha256 = fieldsSha256(u, v);
    for (const SavedEntry& e : saved)
        compareSaved(e.species, e.path, e.sha256, e.species == 'u' ? u : v, run,
            signedFields(request.model), result, verdict);
    if (result.fieldsSha256 != recordedSha) {
        result.lines.push_back("the re-run's fields differ from the record (SHA-256 "
            + result.fieldsSha256 + ", recorded " + recordedSha + ")");
        verdict.differs = true;
    }
    result.verdict = verdict.differs ? ReplayVerdict::Differs
        : verdict.fileChanged        ? ReplayVerdict::FileChanged
                                     : ReplayVerdict::Reproduced;
    if (result.verdict == ReplayVerdict::Reproduced)
        result.lines.push_back(format("reproduced bit for bit: %d steps, fields SHA-256 %s",
            request.steps, result.fieldsSha256.c_str()));
    return result;
}

} // namespace rd::runs
