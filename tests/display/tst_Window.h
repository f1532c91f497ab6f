#pragma once
#include <QObject>
class TestWindow : public QObject {
    Q_OBJECT
private slots:
};
