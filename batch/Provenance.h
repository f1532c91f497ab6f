// How an output was made: the settings, the initial state, the steps and the SHA-256 of the
// fields, as a JSON record beside a run's outputs and inside every PNG it writes, so that the
// run can be replayed and checked bit for bit months later.
#pragma once

#include "batch/BatchRun.h"

#include <QImage>
#include <QJsonObject>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rd::batch {

// The PNG text key of the record; "Software" holds the program and its version.
inline constexpr char kRecordKey[] = "rdsim-record";

std::string programVersion(); // "rdsim-batch 1.0.0"

std::string bytesSha256(std::span<const std::byte> bytes);
// The fields as saved: u's cells then v's, little-endian float32 in C order (the data of the
// .npy files).
std::string fieldsSha256(std::span<const float> u, std::span<const float> v);

// The coefficients the intake derived, as the record lists them.
QJsonObject coefficientsOf(const SimState& state);

// What a run's record says that does not change while it runs. Nothing that leaves the
// results alone (--jobs, --threads, the picture style) is recorded.
struct RunFacts {
    QJsonObject settings; // model, dimension, size, every box's text, derived coefficients
    InitKind init = InitKind::Zero;
    std::uint64_t seed = 0;
    std::string loadU, loadV, loadUSha256, loadVSha256; // files as given
};
RunFacts runFacts(const Options& options, const std::vector<std::string>& overrides,
    const Prepared& run, const LoadedFields& loaded);

// A saved field file of the run, for its record.
struct SavedFile {
    char species;
    std::string file; // as given
    std::string sha256;
};

// The record of a run after `step` steps, whose fields then have the SHA-256 `fields`
// (fieldsSha256), for the file `carrier` that holds it (the JSON file or a picture): the files
// it names are relative to the carrier's folder. One state's fields are hashed once, however
// many files carry its record.
QJsonObject recordOf(const RunFacts& facts, std::int32_t step, const std::string& fields,
    const std::string& carrier, const std::vector<SavedFile>& saved = {});
// The record as a file: indented JSON, keys sorted, so that one run gives the same bytes.
std::vector<std::byte> recordBytes(const QJsonObject& record);
// Puts the record into the picture's text, which PNG keeps as text chunks (BMP has none).
void attachRecord(QImage& image, const QJsonObject& record);

// `file` as seen from the folder of `carrier`, both given relative to the working folder.
std::string relativeTo(const std::string& file, const std::string& carrier);

} // namespace rd::batch
