#pragma once

#include <QObject>

class TestRunControl : public QObject {
    Q_OBJECT

private slots:
    void counterAndRedrawPeriod1D();
    void redrawEveryStepShowsTheSetJustWritten2D();
    void stopAfterOddStepsMakesSetACurrent();
    void everyRunCountsFromOne();
    void startInTheSameYieldAsStopNestsALoop();
    void stopThatIsRefusedStillStops();
};

// The run to the iteration limit, on its own because it takes seconds.
class TestIterationLimit : public QObject {
    Q_OBJECT

private slots:
    void endsAfterAMillionWithStopCaption();
};
