#pragma once

#include <QObject>

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void grayLevel_data();
    void grayLevel();
    void renderFieldPlacesCells();
    void draw2DFromAAndBAgree();
    void draw2DSingleCellAndUncoveredArea();
    void draw1DBars();
    void draw1DLoweringLeavesNoTrace();
    void previewDiscs_data();
    void previewDiscs();
    void previewIntensityZeroIsBlack();
    void swatchClicks();
    void sliderDragRedraws();
};
