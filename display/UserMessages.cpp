// Refusals and errors are told in a non-modal message box, so a run's loop and the tests
// are never blocked by it; the text is also kept for whoever asks.
#include "display/frmMain.h"

#include <QMessageBox>

void frmMain::ShowMessage(const QString& title, const QString& text)
{
    lastMessage = text;
    if (!messageBox_) {
        messageBox_ = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
        messageBox_->setModal(false);
        messageBox_->setWindowModality(Qt::NonModal);
    }
    messageBox_->setWindowTitle(title);
    messageBox_->setText(text);
    messageBox_->show();
    messageBox_->raise();
}
