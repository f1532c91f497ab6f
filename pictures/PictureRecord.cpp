#include "pictures/PictureRecord.h"

#include "output/InputFile.h"
#include "pictures/PngText.h"
#include "runs/Errors.h"
#include "runs/Replay.h"

#include <QJsonDocument>

#include <cstring>
#include <optional>

namespace rd::pictures {

void attachRecord(QImage& image, const QJsonObject& record)
{
    image.setText("Software", record.value("program").toString());
    image.setText(
        kRecordKey, QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)));
}

QJsonObject readRecord(const std::string& file)
{
    std::vector<std::byte> start;
    try {
        output::InputFile(file).readUpTo(start, 8);
    } catch (const output::InputError& e) {
        throw runs::RecordError(e.what());
    }
    if (start.size() < 8 || std::memcmp(start.data(), "\x89PNG\r\n\x1a\n", 8) != 0)
        return runs::readRecordFile(file);
    // The same cap as a record file's: a picture holds no larger record.
    std::optional<std::string> text;
    try {
        text = pngText(file, kRecordKey, runs::kMaxRecordBytes);
    } catch (const PngTextError& e) {
        if (e.tooLarge())
            throw runs::RecordError("too large for a record (more than "
                + std::to_string(runs::kMaxRecordBytes) + " bytes)");
        throw runs::RecordError(e.what());
    }
    if (!text || text->empty())
        throw runs::RecordError("the picture carries no record");
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(*text), &error);
    if (!doc.isObject())
        throw runs::RecordError("not a record (" + error.errorString().toStdString() + ")");
    return doc.object();
}

} // namespace rd::pictures
