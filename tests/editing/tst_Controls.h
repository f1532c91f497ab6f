#pragma once

#include <QObject>

// The "Function" menu, the "1D"/"2D" options, Random and Clear, also during runs.
class TestControls : public QObject {
    Q_OBJECT

private slots:
    void menuInvariants();
    void grayScottThenGiererMeinhardtRestoresKC();
    void modelChoiceDuringA2DRun();
    void dimensionRoundTripKeepsTheLeadingElements();
    void oneDEndsA2DRun();
    void randomRanges_data();
    void randomRanges();
    void randomIgnoresTypedRangesUntilAnIntake();
    void clearAppliesANewSizeFirst();
};
