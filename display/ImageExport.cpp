// File > "Save As": the shown pictures as BMP files with fixed names in the working
// directory. Each file is written beside its target and then put in place, so a failed
// write never leaves a truncated or half-replaced file.
#include "frmMain.h"

#include <QAction>
#include <QImage>
#include <QRadioButton>
#include <QSaveFile>

bool frmMain::saveBoxImage(const PictureBox* box, const QString& fileName)
{
    QSaveFile file(fileName);
    // Where the directory takes no new file but the old file is writable, write it in
    // place, as a plain save would.
    file.setDirectWriteFallback(true);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else {
        // 24 bits per pixel keep every colour the boxes show.
        const QImage picture = box->image().convertToFormat(QImage::Format_RGB888);
        if (!picture.save(&file, "BMP")) {
            reason = file.error() != QFileDevice::NoError
                ? file.errorString()
                : QStringLiteral("the image could not be encoded");
            file.cancelWriting(); // the temporary file is discarded, the old file kept
        } else if (!file.commit()) {
            reason = file.errorString();
        }
    }
    if (reason.isEmpty())
        return true;
    ShowMessage(QStringLiteral("Save As failed"),
        QStringLiteral(
            "\"%1\" could not be written: %2. Any earlier file of that name is unchanged.")
            .arg(fileName, reason));
    return false;
}

void frmMain::mnuSaveAs_Click()
{
    if (Option1[0]->isChecked()) {
        // The second file is not attempted when the first failed.
        if (saveBoxImage(Picture1, QStringLiteral("Activator_1D.bmp")))
            saveBoxImage(Picture2, QStringLiteral("Inhibitor_1D.bmp"));
    } else if (Option1[1]->isChecked()) {
        saveBoxImage(Picture3, QStringLiteral("2D.bmp"));
    }
}

void frmMain::connectImageExport()
{
    connect(mnuSaveAs, &QAction::triggered, this, &frmMain::mnuSaveAs_Click);
}
