#pragma once
#include <QObject>
class TestPictures : public QObject {
    Q_OBJECT
private slots:
};
