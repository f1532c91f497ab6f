// A run repeated from its record, and the result compared bit for bit with the record and
// with the fields it saved.
#pragma once

#include "runs/Run.h"

#include <QJsonObject>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace rd::runs {

// A record is a few kilobytes; this is the most one may be, in a file or in a picture.
inline constexpr std::int64_t kMaxRecordBytes = 1 << 20;

// The record in a JSON file (a regular file, opened without blocking). Throws RecordError.
QJsonObject readRecordFile(const std::string& file);

// The run a record describes; the files it names are relative to `folder`. Throws
// RecordError.
RunDescription requestOfRecord(const QJsonObject& record, const std::filesystem::path& folder);

enum class ReplayVerdict : std::int8_t {
    Reproduced, // the re-run gave the recorded fields, and every saved file still matches
    Differs, // the re-run's fields differ from the record
    FileChanged, // a file the record names no longer matches it
    ArithmeticError, // the re-run failed in a step
};

struct ReplayResult {
    ReplayVerdict verdict = ReplayVerdict::Reproduced;
    std::vector<std::string> lines; // what was found, one sentence each, in order
    std::int32_t steps = 0;
    std::string fieldsSha256; // of the re-run's final fields
};

// Replays the record found in the folder `folder` by the front end `program` (its name as
// programVersion takes it). Throws RecordError, SettingsError (the record's settings are
// refused now), SeededStartError and Cancelled.
ReplayResult replay(const QJsonObject& record, const std::filesystem::path& folder,
    std::string_view program, const StepHooks& hooks = {});

} // namespace rd::runs
