// How an output was made: the settings, the initial state, the steps and the SHA-256 of the
// fields, as a JSON record beside a run's outputs and inside every PNG it writes, so that the
// run can be replayed and checked bit for bit months later.
#pragma once

#include "runs/Run.h"

#include <QJsonObject>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rd::runs {

// The program and its version as a record names them: "rdsim-batch 1.0.0" for "rdsim-batch".
std::string programVersion(std::string_view program);

std::string bytesSha256(std::span<const std::byte> bytes);
// The fields as saved: u's cells then v's, little-endian float32 in C order (the data of the
// .npy files).
std::string fieldsSha256(std::span<const float> u, std::span<const float> v);

// The coefficients the intake derived, as the record lists them: the state's, and a typed
// model's parameter values (under "parameters") instead of the built-in constants.
QJsonObject coefficientsOf(const Prepared& run);

// A typed model's full text as a record holds it, so that a replay needs no model file:
// name, rate-u, rate-v, parameters (each its name and default text, in order), clamp and,
// where the description has one, the analysis's box.
QJsonObject modelRecord(const ModelDescription& description);

// What a run's record says that does not change while it runs. Nothing that leaves the
// results alone (--jobs, --threads, the picture style) is recorded.
struct RunFacts {
    std::string program; // the front end and its version (programVersion)
    // model (a built-in's name, or a typed model's modelRecord), dimension, size, every
    // setting's text (settingTexts), derived coefficients
    QJsonObject settings;
    InitKind init = InitKind::Zero;
    std::uint64_t seed = 0;
    std::string loadU, loadV, loadUSha256, loadVSha256; // files as given
    std::string loadUType, loadVType; // a double-precision file's dtype (see LoadedFields)
};
RunFacts runFacts(const RunDescription& request, const Prepared& run, const LoadedFields& loaded,
    std::string_view program);

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

// `file` as seen from the folder of `carrier`, both given relative to the working folder.
std::string relativeTo(const std::string& file, const std::string& carrier);

} // namespace rd::runs
