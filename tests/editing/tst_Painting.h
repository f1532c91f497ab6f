#pragma once

#include <QObject>

// Brush discs on the field image and the spiral.
class TestPainting : public QObject {
    Q_OBJECT

private slots:
    void discInTheMiddle();
    void discAtTheCorner();
    void dragPastTheRightEdge();
    void radiusZeroAndIntensityZero();
    void bothBufferSetsAndOnlyTheTargetSpecies();
    void inhibitorValueIsExactOnPressAndMove();
    void otherButtonsAndReleases();
    void paintingDuringARunBetweenTwoSteps();
    void spiralRadiusZeroPaintsTheGreenPixels();
    void spiralBandAtRadiusSeven();
    void spiralSecondClickPaintsTheSameCells();
    void spiralTargetV();
};
