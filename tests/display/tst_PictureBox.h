#pragma once

#include <QObject>

class TestPictureBox : public QObject {
    Q_OBJECT

private slots:
    void innerSizeFollowsBorder();
    void userScaleMapsHalvesToEven_data();
    void userScaleMapsHalvesToEven();
    void lineLeavesOutItsEndPoint();
    void diagonalLineIsBresenham();
    void farAndInvalidCoordinates();
    void arcRunsCounterClockwise();
    void fullCircleHasNoGaps();
    void resizeKeepsTopLeftPixels();
    void clearAndBackColour();
    void borderIsSunken();
    void mouseSignalsCarryButtonShiftAndScale();
    void clickOnlyForLeftButton();
};
