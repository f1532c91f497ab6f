#pragma once
#include <QObject>
class TestPictureBox : public QObject {
    Q_OBJECT
private slots:
};
