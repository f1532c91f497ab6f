#pragma once

#include <QObject>

class TestStartUpAndIntake : public QObject {
    Q_OBJECT

private slots:
    void startUpDefaults1D();
    void defaults2D();
    void grayScottDefaultsAndCopiedLabel();
    void oregonatorDefaultsAndCopiedLabel();
    void fieldSizeBox_data();
    void fieldSizeBox();
    void iterationBoxRoundsHalfToEven_data();
    void iterationBoxRoundsHalfToEven();
    void unchangedBoxesKeepCellsAndRedrawSetA();
    void smallerFieldIn2DKeepsFlatIndices();
    void greyLevelsOnScreen();
};
