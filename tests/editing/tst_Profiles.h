#pragma once

#include <QObject>

// Drawing the 1D profiles with the mouse.
class TestProfiles : public QObject {
    Q_OBJECT

private slots:
    void pressStoresTheHeightAndDrawsOneBar();
    void dragsAboveAndBelowAreClamped();
    void movesPastEitherEndAreIgnored();
    void inhibitorPlotEditsOnlyVA();
    void otherButtonsAndReleases();
};
