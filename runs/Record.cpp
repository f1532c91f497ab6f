#include "runs/Record.h"

#include "runs/Names.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <bit>
#include <filesystem>

#ifndef RDSIM_VERSION
#define RDSIM_VERSION "unknown"
#endif

namespace rd::runs {

namespace fs = std::filesystem;

namespace {

static_assert(std::endian::native == std::endian::little,
    "the record's field hash is over little-endian float32 bytes, as the .npy files hold them");

QString hex(const QCryptographicHash& hash)
{
    return QString::fromLatin1(hash.result().toHex());
}

// A field given as an array has no file to name, only the SHA-256 of its .npy file.
QJsonObject fileEntry(const std::string& file, const std::string& sha256,
    const std::string& carrier, const std::string& roundedFrom = {})
{
    QJsonObject entry { { "sha256", QString::fromStdString(sha256) } };
    if (!file.empty())
        entry.insert("file", QString::fromStdString(relativeTo(file, carrier)));
    // A reader of the record learns that the run did not start from the file's exact values.
    if (!roundedFrom.empty()) {
        entry.insert("dtype", QString::fromStdString(roundedFrom));
        entry.insert("rounded", "each value to the nearest float32, ties to even");
    }
    return entry;
}

} // namespace

QJsonObject coefficientsOf(const Prepared& run)
{
    const SimState& s = run.state;
    const auto* typed = std::get_if<TypedModel>(&run.model);
    // Floats widen to doubles exactly, and the JSON numbers are written to round-trip.
    const std::pair<const char*, float> values[] = { { "dt", s.dt }, { "dx", s.dx },
        { "uMax", s.uMax }, { "vMax", s.vMax }, { "grayScale", s.grayScale }, { "kA", s.kA },
        { "kB", s.kB }, { "kC", s.kC }, { "reactGain", s.reactGain }, { "Du", s.Du },
        { "Dv", s.Dv }, { "cu", s.cu }, { "cv", s.cv }, { "su", s.su }, { "sv", s.sv } };
    QJsonObject c;
    for (const auto& [name, value] : values)
        // A typed model has parameters instead of the built-in constants.
        if (typed == nullptr || name[0] != 'k')
            c.insert(name, double { value });
    c.insert("nCells", s.nCells);
    if (typed != nullptr) {
        QJsonObject parameters;
        for (std::size_t k = 0; k < typed->values.size(); ++k)
            parameters.insert(
                QString::fromStdString(typed->program->parameters[k]), double { typed->values[k] });
        c.insert("parameters", parameters);
    }
    return c;
}

QJsonObject modelRecord(const ModelDescription& d)
{
    QJsonArray parameters;
    for (const ParameterText& p : d.parameters)
        parameters.append(QJsonObject { { "name", QString::fromStdString(p.name) },
            { "default", QString::fromStdString(p.defaultText) } });
    QJsonObject model { { "name", QString::fromStdString(d.name) },
        { "rate-u", QString::fromStdString(d.rateU) },
        { "rate-v", QString::fromStdString(d.rateV) }, { "parameters", parameters },
        { "clamp", d.clamp } };
    if (d.bounds)
        model.insert("analysis",
            QJsonObject { { "u", QJsonArray { d.bounds->uLow, d.bounds->uHigh } },
                { "v", QJsonArray { d.bounds->vLow, d.bounds->vHigh } } });
    return model;
}

std::string programVersion(std::string_view program)
{
    return std::string(program) + " " + RDSIM_VERSION;
}

std::string bytesSha256(std::span<const std::byte> bytes)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(
        reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    return hex(hash).toStdString();
}

std::string fieldsSha256(std::span<const float> u, std::span<const float> v)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto cells : { u, v })
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(cells.data()),
            static_cast<qsizetype>(cells.size_bytes())));
    return hex(hash).toStdString();
}

RunFacts runFacts(const RunDescription& request, const Prepared& run, const LoadedFields& loaded,
    std::string_view program)
{
    QJsonObject boxes;
    for (const auto& [name, text] : settingTexts(request))
        boxes.insert(QString::fromStdString(name), QString::fromStdString(text));
    const Model* builtIn = std::get_if<Model>(&request.model);
    const std::string_view name = builtIn ? modelName(*builtIn) : std::string_view();
    const QJsonValue model = builtIn
        ? QJsonValue(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))
        : QJsonValue(modelRecord(std::get<ModelDescription>(request.model)));
    RunFacts f;
    f.program = programVersion(program);
    f.settings = { { "model", model }, { "dimension", request.oneD ? 1 : 2 },
        { "size", QString::fromStdString(request.size) }, { "boxes", boxes },
        { "coefficients", coefficientsOf(run) } };
    if (request.every > 0)
        f.settings.insert("every", request.every);
    f.init = request.initial.kind;
    f.seed = request.initial.seed;
    f.loadU = request.initial.uFile;
    f.loadV = request.initial.vFile;
    f.loadUSha256 = loaded.uSha256;
    f.loadVSha256 = loaded.vSha256;
    f.loadUType = loaded.uType;
    f.loadVType = loaded.vType;
    return f;
}

QJsonObject recordOf(const RunFacts& facts, std::int32_t step, const std::string& fields,
    const std::string& carrier, const std::vector<SavedFile>& saved)
{
    QJsonObject initial;
    switch (facts.init) {
    case InitKind::Zero:
        initial.insert("kind", "zero");
        break;
    case InitKind::Random:
    case InitKind::Seeded:
        // A string: a 64-bit seed does not fit a JSON number's exact range.
        initial = { { "kind", facts.init == InitKind::Random ? "random" : "seeded" },
            { "seed", QString::number(facts.seed) } };
        break;
    case InitKind::Load:
        initial = { { "kind", "load" },
            { "u", fileEntry(facts.loadU, facts.loadUSha256, carrier, facts.loadUType) },
            { "v", fileEntry(facts.loadV, facts.loadVSha256, carrier, facts.loadVType) } };
        break;
    }
    QJsonObject record { { "program", QString::fromStdString(facts.program) },
        { "settings", facts.settings }, { "initial", initial }, { "steps", step },
        { "fields",
            QJsonObject { { "sha256", QString::fromStdString(fields) },
                { "bytes", "u then v, float32 little-endian, row by row" } } } };
    QJsonObject files;
    for (const SavedFile& f : saved)
        files.insert(QString(QChar(f.species)), fileEntry(f.file, f.sha256, carrier));
    if (!files.isEmpty())
        record.insert("saved", files);
    return record;
}

std::vector<std::byte> recordBytes(const QJsonObject& record)
{
    const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Indented);
    const auto* p = reinterpret_cast<const std::byte*>(text.constData());
    return { p, p + text.size() };
}

std::string relativeTo(const std::string& file, const std::string& carrier)
{
    // Lexically, without following links: the record names the files as the run named them.
    const fs::path folder = fs::absolute(fs::path(carrier)).lexically_normal().parent_path();
    return fs::absolute(fs::path(file)).lexically_normal().lexically_relative(folder).string();
}

} // namespace rd::runs
