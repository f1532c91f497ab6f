// Closes the window while a 2D run is in progress. The program must then come to an end by
// itself: exit status 0, the loop finished, nothing touched after the window went away.
#include "frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Never hang: a loop that outlives the close fails the test instead.
    QTimer::singleShot(60000, [] {
        std::fputs("close_during_run: the program did not end after the close\n", stderr);
        std::_Exit(3);
    });
    int status = 0;
    {
        frmMain window;
        window.show();
        int iterationsAtClose = 0;
        QTimer closer;
        closer.setInterval(0);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            // Runs between two steps of the loop; close once a few steps are done.
            const int shown = window.Label2->text().toInt();
            if (window.state.running && shown >= 6) {
                iterationsAtClose = shown;
                closer.stop();
                window.close();
            }
        });
        QTimer::singleShot(0, [&] {
            window.Option1[1]->click();
            closer.start();
            window.Run->click();
        });
        status = app.exec();
        if (status == 0 && (iterationsAtClose < 6 || window.state.running != rd::kFalse)) {
            std::fprintf(stderr, "close_during_run: closed at %d, running %d\n", iterationsAtClose,
                int(window.state.running));
            status = 4;
        }
    }
    return status;
}
