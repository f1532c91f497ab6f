// Closes the window while a 2D run is in progress. The program must then come to an end by
// itself: exit status 0, the loop finished, nothing touched after the window went away.
#include "display/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Never hang: a loop that outlives the close fails the test instead.
    QTimer::singleShot(60000, [] { std::_Exit(3); });
    frmMain window;
    window.show();
    bool closedDuringRun = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        // Runs between two steps of the loop; close once a few steps are done.
        if (window.state.running && window.Label2->text().toInt() >= 6) {
            closedDuringRun = true;
            closer.stop();
            window.close();
        }
    });
    QTimer::singleShot(0, [&] {
        window.Option1[1]->click();
        closer.start(0);
        window.Run->click();
    });
    const int status = app.exec();
    return status != 0 ? status : closedDuringRun && !window.state.running ? 0 : 4;
}
