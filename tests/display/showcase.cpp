// Opens the window ("plain": as constructed) or with sample contents: profiles in 1D, or with "2d"
// a field picture and the brush frame; "panel=N" shows model panel N. With a number of milliseconds
// as last argument it closes after that.
#include "GuiTestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QTimer>

#include <cmath>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    frmMain w;
    rd::SimState& s = w.state;
    const bool plain = argc > 1 && QString::fromLatin1(argv[1]) == QLatin1String("plain");
    const bool twoD = argc > 1 && QString::fromLatin1(argv[1]) == QLatin1String("2d");
    s.nCells = 128;
    s.lastIdx = 127;
    s.uMax = s.vMax = 3.0f;
    s.grayScale = 85.0f;
    if (plain) {
        // The window as constructed, nothing drawn.
    } else if (twoD) {
        s.resizeArrays(s.highestIndex2D());
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i)
                s.uA[j * 128 + i] = 1.5f + 1.5f * float(std::sin(i * 0.15) * std::cos(j * 0.1));
        w.Picture1->hide();
        w.Picture2->hide();
        w.Picture3->show();
        w.Frame3->show();
        w.Option1[1]->setChecked(true);
        frmMain::TestAccess::draw2DFromA(w);
    } else {
        s.resizeArrays(s.highestIndex1D());
        for (int i = 0; i <= 128; ++i) {
            s.uA[i] = 1.5f + 1.2f * float(std::sin(i * 0.2));
            s.vA[i] = 1.0f + 0.8f * float(std::cos(i * 0.1));
        }
        w.Picture1->setScale(0, s.uMax, 128, 0);
        w.Picture2->setScale(0, s.vMax, 128, 0);
        frmMain::TestAccess::draw1D(w);
    }
    if (!plain)
        frmMain::TestAccess::drawBrushPreview(w);
    for (int k = 1; k < argc; ++k) {
        const QString arg = QString::fromLatin1(argv[k]);
        if (arg.startsWith(QLatin1String("panel=")))
            w.Frame1[arg.mid(6).toInt() & 3]->raise();
    }
    w.show();
    if (argc > 1) {
        bool ok = false;
        const int ms = QString::fromLatin1(argv[argc - 1]).toInt(&ok);
        if (ok)
            QTimer::singleShot(ms, &app, &QApplication::quit);
    }
    return app.exec();
}
