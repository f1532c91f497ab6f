// Parts of a split command: choosing a part's combinations, writing its rows, and joining
// the parts after checking that they are the whole of one split of the same command.
#include "runs/Shards.h"

#include "engine/Quoted.h"
#include "output/InputFile.h"
#include "output/OutputSet.h"
#include "runs/Errors.h"
#include "settings/WholeNumber.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <system_error>

namespace rd::runs {

namespace fs = std::filesystem;

namespace {

// Format 2 added the SHA-256 of the rows.
constexpr std::string_view kFormat = "rdsim-batch part 2";
constexpr std::string_view kEarlierFormat = "rdsim-batch part 1";

std::string partName(const fs::path& output, std::int64_t index, std::int64_t count)
{
    return output.stem().string() + ".part-" + std::to_string(index) + "-of-"
        + std::to_string(count) + ".json";
}

// "I-of-K" between the prefix and ".json" of a file name; false for any other name.
bool partNumbers(const std::string& name, const std::string& prefix, Shard& shard)
{
    constexpr std::string_view suffix = ".json", of = "-of-";
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix)
        || !name.ends_with(suffix))
        return false;
    const std::string_view middle
        = std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const auto at = middle.find(of);
    if (at == std::string_view::npos)
        return false;
    const auto i = wholeNumber<std::int64_t>(middle.substr(0, at));
    const auto k = wholeNumber<std::int64_t>(middle.substr(at + of.size()));
    if (!i || !k)
        return false;
    shard = { *i, *k };
    return true;
}

struct Found {
    fs::path file;
    Shard named; // by its name
    Shard held; // by its content
    QJsonObject json;
};

std::string shown(const fs::path& p)
{
    std::string text(1, '"');
    text.append(p.string()).push_back('"');
    return text;
}

std::string ofText(Shard s)
{
    return std::to_string(s.index) + " of " + std::to_string(s.count);
}

// Where two commands' identity arguments first differ, for the refusal of a foreign part.
std::string firstDifference(const std::vector<std::string>& ours, const QJsonArray& theirs)
{
    const std::size_t n = std::max(ours.size(), static_cast<std::size_t>(theirs.size()));
    for (std::size_t k = 0; k < n; ++k) {
        const std::string a = k < ours.size() ? ours[k] : "";
        const std::string b = k < static_cast<std::size_t>(theirs.size())
            ? theirs[static_cast<qsizetype>(k)].toString().toStdString()
            : "";
        if (a == b)
            continue;
        if (b.empty())
            return "this command has " + rd::quoted(a, 80) + " where the part's ended";
        if (a.empty())
            return "the part's has " + rd::quoted(b, 80) + " where this command ended";
        return "this command has " + rd::quoted(a, 80) + " where the part's has "
            + rd::quoted(b, 80);
    }
    return "its identity does not match its arguments";
}

// The SHA-256 of a part's rows: each row's combination number and text, each ended by a 0.
std::string rowsSha256(const QJsonArray& list)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto& entry : list) {
        const QJsonArray pair = entry.toArray();
        const QByteArray number = QByteArray::number(pair[0].toInteger());
        const QByteArray row = pair[1].toString().toUtf8();
        hash.addData(QByteArrayView(number.constData(), number.size() + 1));
        hash.addData(QByteArrayView(row.constData(), row.size() + 1));
    }
    return hash.result().toHex().toStdString();
}

// Whether a document that failed to parse is a prefix of one: it ends inside an object, an
// array or a string.
bool cutShort(const QJsonParseError& error, qsizetype size)
{
    return (error.error == QJsonParseError::UnterminatedObject
               || error.error == QJsonParseError::UnterminatedArray
               || error.error == QJsonParseError::UnterminatedString)
        && error.offset >= size - 1;
}

// At most `limit` bytes of a regular file, opened without blocking: a FIFO, a folder or a
// device named like a part is refused at once.
QJsonObject readPart(const fs::path& file, std::uint64_t limit)
{
    std::vector<std::byte> bytes;
    try {
        bytes = output::readInput(file, limit);
    } catch (const output::InputError& e) {
        throw MergeError("part " + shown(file) + " could not be read: " + e.what()
            + (std::string_view(e.what()).starts_with("larger than")
                    ? ", more than a part of this command can hold"
                    : ""));
    }
    const QByteArray text(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    const std::string format = doc.object()["format"].toString().toStdString();
    if (doc.isNull() && text.startsWith('{') && cutShort(error, text.size()))
        throw MergeError("part " + shown(file) + " is damaged: it ends early, after "
            + std::to_string(text.size()) + " bytes");
    if (doc.isNull() && text.contains(QByteArray("\"format\": \"") + kFormat.data()))
        throw MergeError("part " + shown(file) + " is damaged: it is not valid JSON ("
            + error.errorString().toStdString() + " at byte " + std::to_string(error.offset) + ")");
    if (format == kEarlierFormat)
        throw MergeError("part " + shown(file)
            + " was written by an earlier version of rdsim-batch; run its --shard again");
    if (!doc.isObject() || format != kFormat)
        throw MergeError("part " + shown(file) + " is not a part written by --shard");
    return doc.object();
}

void addRows(const Found& f, std::size_t total, std::vector<std::string>& rows,
    std::vector<bool>& filled, const PartRows& check)
{
    const QJsonArray list = f.json["rows"].toArray();
    const std::size_t expected = shardMembers(total, f.held).size();
    auto damaged = [&](const std::string& why) {
        throw MergeError("part " + shown(f.file) + " is damaged: " + why);
    };
    if (static_cast<std::size_t>(list.size()) != expected)
        damaged(
            "it holds " + std::to_string(list.size()) + " rows, not " + std::to_string(expected));
    for (const auto& entry : list) {
        const QJsonArray pair = entry.toArray();
        const double number = pair.size() == 2 ? pair[0].toDouble(-1) : -1;
        if (!(number >= 1 && number <= double(total)) || number != std::floor(number)
            || !pair[1].isString())
            damaged("a row is malformed");
    }
    // Rows edited since the part was written, or changed on the way, are found before any is
    // used; what a row may hold is the command's to check (rowOk).
    if (f.json["rows_sha256"].toString().toStdString() != rowsSha256(list))
        damaged("its rows do not match their SHA-256, so they were changed after it was written");
    for (const auto& entry : list) {
        const QJsonArray pair = entry.toArray();
        const double number = pair[0].toDouble();
        const auto k = static_cast<std::size_t>(number) - 1;
        if (static_cast<std::int64_t>(k % static_cast<std::size_t>(f.held.count))
                != f.held.index - 1
            || filled[k])
            damaged("combination " + std::to_string(k + 1) + " does not belong to it or repeats");
        rows[k] = pair[1].toString().toStdString();
        filled[k] = true;
        if (check.rowOk && !check.rowOk(k, rows[k]))
            damaged("the row of combination " + std::to_string(k + 1) + " is malformed");
    }
}

} // namespace

std::vector<std::size_t> shardMembers(std::size_t total, Shard shard)
{
    std::vector<std::size_t> members;
    const std::size_t first = shard.active() ? static_cast<std::size_t>(shard.index - 1) : 0;
    const std::size_t stride = shard.active() ? static_cast<std::size_t>(shard.count) : 1;
    for (std::size_t k = first; k < total; k += stride)
        members.push_back(k);
    return members;
}

fs::path partPath(const fs::path& output, Shard shard)
{
    return output.parent_path() / partName(output, shard.index, shard.count);
}

std::string commandIdentity(const std::vector<std::string>& arguments)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const std::string& a : arguments)
        hash.addData(QByteArrayView(a.data(), std::ssize(a) + 1)); // with its terminating 0
    return hash.result().toHex().toStdString();
}

void writePart(const fs::path& output, const std::vector<std::string>& arguments, Shard shard,
    std::size_t total, const std::vector<std::size_t>& members,
    const std::vector<std::string>& rows)
{
    QJsonArray args, list;
    for (const std::string& a : arguments)
        args.append(QString::fromStdString(a));
    for (std::size_t i = 0; i < members.size() && i < rows.size(); ++i)
        list.append(
            QJsonArray { static_cast<double>(members[i] + 1), QString::fromStdString(rows[i]) });
    const QJsonObject part {
        { "format", QString::fromUtf8(kFormat.data(), std::ssize(kFormat)) },
        { "command", QString::fromStdString(commandIdentity(arguments)) },
        { "arguments", args },
        { "shard", static_cast<double>(shard.index) },
        { "shards", static_cast<double>(shard.count) },
        { "combinations", static_cast<double>(total) },
        { "rows", list },
        { "rows_sha256", QString::fromStdString(rowsSha256(list)) },
    };
    const QByteArray bytes = QJsonDocument(part).toJson(QJsonDocument::Indented);
    output::writeFileAtomically(partPath(output, shard),
        std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

std::vector<std::string> mergeParts(const fs::path& output,
    const std::vector<std::string>& arguments, std::size_t total, const PartRows& check)
{
    const auto stopIfCancelled = [&check] {
        if (check.cancelled && check.cancelled())
            throw Cancelled();
    };
    const fs::path folder = output.parent_path();
    const std::string prefix = output.stem().string() + ".part-";
    const std::string identity = commandIdentity(arguments);

    std::vector<Found> parts;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        Shard named;
        const std::string name = it->path().filename().string();
        if (partNumbers(name, prefix, named))
            parts.push_back({ folder / name, named, {}, {} });
    }
    if (ec)
        throw MergeError("the folder of " + shown(output) + " could not be read: " + ec.message());
    if (parts.empty())
        throw MergeError("no part of " + shown(output) + " was found ("
            + shown(partPath(output, { 1, 2 })) + " and the like, written by --shard I/K)");
    std::sort(parts.begin(), parts.end(), [](const Found& a, const Found& b) {
        return std::pair(a.named.count, a.named.index) < std::pair(b.named.count, b.named.index);
    });

    std::uint64_t argumentBytes = 0;
    for (const std::string& a : arguments)
        argumentBytes += a.size();
    for (Found& f : parts) {
        stopIfCancelled();
        // The most a part of this command can be: its arguments and its rows, each twice over
        // for the escapes of quotes and backslashes in the JSON, and the rest of its fields. (A
        // row with a control character, whose escape is longer, is refused anyway.)
        const std::uint64_t rowsHeld = f.named.count > 0
            ? (total + static_cast<std::uint64_t>(f.named.count) - 1)
                / static_cast<std::uint64_t>(f.named.count)
            : total;
        f.json = readPart(f.file,
            2 * argumentBytes + rowsHeld * (2 * std::uint64_t { check.maxRowBytes } + 64)
                + (1 << 16));
        if (f.json["command"].toString().toStdString() != identity)
            throw MergeError("part " + shown(f.file) + " was written by a different command ("
                + firstDifference(arguments, f.json["arguments"].toArray()) + ")");
        f.held = { static_cast<std::int64_t>(f.json["shard"].toDouble()),
            static_cast<std::int64_t>(f.json["shards"].toDouble()) };
        if (f.held.index < 1 || f.held.index > f.held.count || f.held.count > kMaxShards
            || f.json["combinations"].toDouble() != double(total))
            throw MergeError("part " + shown(f.file) + " is damaged: its shard numbers do not fit");
    }
    for (const Found& f : parts)
        if (f.held.count != parts.front().held.count)
            throw MergeError("parts of two splits lie beside " + shown(output) + ": "
                + shown(parts.front().file) + " (shard " + ofText(parts.front().held) + ") and "
                + shown(f.file) + " (shard " + ofText(f.held) + "); remove the parts not wanted");
    const std::int64_t count = parts.front().held.count;
    std::map<std::int64_t, const Found*> byIndex;
    for (const Found& f : parts) {
        const auto [it, fresh] = byIndex.emplace(f.held.index, &f);
        if (!fresh)
            throw MergeError("part " + shown(f.file) + " duplicates " + shown(it->second->file)
                + ": both hold shard " + ofText(f.held));
    }
    for (const Found& f : parts)
        if (f.held.index != f.named.index || f.held.count != f.named.count)
            throw MergeError("part " + shown(f.file) + " holds shard " + ofText(f.held)
                + ", not the shard its name says");

    std::vector<std::string> missing;
    for (std::int64_t i = 1; i <= count; ++i)
        if (!byIndex.contains(i))
            missing.push_back(shown(partPath(output, { i, count })));
    if (missing.size() == 1)
        throw MergeError("a part is missing: " + missing.front() + " was not found");
    if (!missing.empty()) {
        std::string names;
        for (std::size_t k = 0; k < missing.size() && k < 5; ++k)
            names += (k == 0 ? "" : ", ") + missing[k];
        throw MergeError(std::to_string(missing.size()) + " of " + std::to_string(count)
            + " parts are missing: " + names + (missing.size() > 5 ? " and others" : "")
            + " were not found");
    }

    std::vector<std::string> rows(total);
    std::vector<bool> filled(total, false);
    for (const Found& f : parts) {
        stopIfCancelled();
        addRows(f, total, rows, filled, check);
    }
    return rows;
}

} // namespace rd::runs
