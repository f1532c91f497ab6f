// File > "Save As": the shown pictures as BMP files with fixed names in the working
// directory. The pictures are encoded in memory and committed as one set: an earlier file is
// either replaced whole or left byte for byte as it was, and in 1D both files are replaced
// or neither.
#include "display/frmMain.h"

#include "output/OutputSet.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QRadioButton>

#include <new>

namespace {

std::vector<std::byte> encodeBmp(const QImage& image)
{
    // 24 bits per pixel keep every colour the boxes show.
    const QImage picture = image.convertToFormat(QImage::Format_RGB888);
    if (picture.isNull() && !image.isNull())
        throw std::bad_alloc();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(picture))
        throw std::bad_alloc(); // writing to memory fails only for want of memory
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return { p, p + bytes.size() };
}

QString names(const std::vector<std::filesystem::path>& files)
{
    QStringList quoted;
    for (const auto& f : files)
        quoted << QStringLiteral("\"%1\"").arg(QString::fromStdString(f.filename().string()));
    return quoted.join(QStringLiteral(", "));
}

} // namespace

void frmMain::saveBoxImages(const std::vector<std::pair<const PictureBox*, QString>>& pictures)
{
    QString failure;
    try {
        rd::output::OutputSet set;
        for (const auto& [box, fileName] : pictures)
            set.add(
                QDir::current().absoluteFilePath(fileName).toStdString(), encodeBmp(box->image()));
        set.commit();
        return;
    } catch (const rd::output::OutputError& e) {
        const QString file = QString::fromStdString(e.file().filename().string());
        failure = QStringLiteral("\"%1\" could not be written: %2.")
                      .arg(file, QString::fromStdString(e.reason()));
        if (!e.replaced().empty())
            failure += QStringLiteral(" Already replaced: %1; the others are unchanged.")
                           .arg(names(e.replaced()));
        else
            failure += pictures.size() > 1 ? QStringLiteral(" No file was changed.")
                                           : QStringLiteral(" Any earlier file is unchanged.");
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("There is not enough memory to save the pictures. No file "
                                 "was changed.");
    }
    ShowMessage(QStringLiteral("Save As failed"), failure);
}

void frmMain::mnuSaveAs_Click()
{
    if (Option1[0]->isChecked())
        saveBoxImages({ { Picture1, QStringLiteral("Activator_1D.bmp") },
            { Picture2, QStringLiteral("Inhibitor_1D.bmp") } });
    else if (Option1[1]->isChecked())
        saveBoxImages({ { Picture3, QStringLiteral("2D.bmp") } });
}

void frmMain::connectImageExport()
{
    connect(mnuSaveAs, &QAction::triggered, this, &frmMain::mnuSaveAs_Click);
}
