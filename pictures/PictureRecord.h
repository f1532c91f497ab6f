// A run's record inside its pictures: PNG keeps it as text, so a picture alone says how it
// was made and can be replayed.
#pragma once

#include <QImage>
#include <QJsonObject>

#include <string>

namespace rd::pictures {

// The PNG text key of the record; "Software" holds the program and its version.
inline constexpr char kRecordKey[] = "rdsim-record";

// Puts the record into the picture's text, which PNG keeps as text chunks (BMP has none).
void attachRecord(QImage& image, const QJsonObject& record);

// The record of a run from its JSON file or from a PNG it wrote. Throws runs::RecordError.
QJsonObject readRecord(const std::string& file);

} // namespace rd::pictures
