#pragma once

#include <QObject>

// Phase-plane plots on the model panels, and Save As.
class TestOutput : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void phasePlotFromTheOrigin();
    void phasePlotClampsAtTheAxis();
    void secondReleaseDrawsOnlyItsTrajectory();
    void saveAs2D();
    void saveAs1DThen2DLeavesThreeFiles();
    void saveAsWithADirectoryInTheWay();
    void saveAsInAnUnwritableDirectory();
};
