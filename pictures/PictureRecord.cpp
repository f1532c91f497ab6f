#include "pictures/PictureRecord.h"

#include "runs/Errors.h"
#include "runs/Replay.h"

#include <QFile>
#include <QImageReader>
#include <QJsonDocument>

namespace rd::pictures {

void attachRecord(QImage& image, const QJsonObject& record)
{
    image.setText("Software", record.value("program").toString());
    image.setText(
        kRecordKey, QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)));
}

QJsonObject readRecord(const std::string& file)
{
    QFile f(QString::fromStdString(file));
    if (!f.open(QIODevice::ReadOnly))
        throw runs::RecordError(f.errorString().toStdString());
    if (f.peek(8) != QByteArray("\x89PNG\r\n\x1a\n", 8))
        return runs::readRecordFile(file);
    f.close();
    QImageReader reader(QString::fromStdString(file), "png");
    const QByteArray text = reader.text(kRecordKey).toUtf8();
    if (text.isEmpty())
        throw runs::RecordError("the picture carries no record");
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (!doc.isObject())
        throw runs::RecordError("not a record (" + error.errorString().toStdString() + ")");
    return doc.object();
}

} // namespace rd::pictures
