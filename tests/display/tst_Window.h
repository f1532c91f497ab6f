#pragma once

#include <QObject>

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void captionClientAreaAndIcon();
    void geometryInPixels_data();
    void geometryInPixels();
    void initialVisibilityAndStacking();
    void menus();
    void panelTextBoxes();
    void equationLabels();
    void fontsResolveToSubstitutes_data();
    void fontsResolveToSubstitutes();
    void brushControls();
};
