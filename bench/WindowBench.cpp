// How fast a real 2D run goes in the window: the same frmMain, a 2D run started by a click
// on Run, stopped by a click after a fixed time; then the bare engine loop for as long, on
// the same field, with no counter, drawing or events. Last line:
//   window run: X it/s; bare engine: Y steps/s; ratio: Z
// Usage: rdsim-window-bench [seconds]   (default 5; run it under a display, e.g. Xvfb)
#include "Integrators.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int ms = static_cast<int>(seconds * 1000.0);

    frmMain window;
    window.show();
    // Let the window appear before timing anything.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents();

    window.Option1[1]->click(); // "2D"
    window.Random->click();

    QElapsedTimer clock;
    QTimer::singleShot(ms, &window, [&] { window.Run->click(); }); // the Stop click
    clock.start();
    window.Run->click(); // Start: returns when the Stop click has ended the loop
    const double windowSeconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    const long iterations = window.Label2->text().toLong() - 1;
    const double windowRate = static_cast<double>(iterations) / windowSeconds;

    // The bare loop on a copy of the state the run ended with, GM as in the window.
    rd::SimState s = window.state;
    long steps = 0;
    clock.restart();
    while (clock.nsecsElapsed() < static_cast<qint64>(ms) * 1000000) {
        for (int k = 0; k < 20; ++k, ++steps) {
            if (s.phaseA)
                rd::Step2DFromA(s, rd::Model::GiererMeinhardt);
            else
                rd::Step2DFromB(s, rd::Model::GiererMeinhardt);
        }
    }
    const double bareRate
        = static_cast<double>(steps) / (static_cast<double>(clock.nsecsElapsed()) * 1e-9);

    std::printf("window: %ld iterations in %.3f s (N = %d, %d iterations per image)\n",
        iterations, windowSeconds, window.state.nCells, window.state.itersPerImage);
    std::printf("window run: %.0f it/s; bare engine: %.0f steps/s; ratio: %.3f\n", windowRate,
        bareRate, windowRate / bareRate);
    return 0;
}
