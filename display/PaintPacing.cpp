// During a run the counter changes every step and the field every few steps, far more
// often than a screen refreshes. What reaches the screen is paced to about 60 frames a
// second: the texts and images are set at once, only their painting waits. When the run
// ends the deferred frame is painted, so the last value and frame are always shown.
#include "display/frmMain.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

constexpr qint64 kFrameMs = 16;

} // namespace

bool frmMain::event(QEvent* e)
{
    if (e->type() == QEvent::UpdateRequest && state.running) {
        if (lastFrame_.isValid() && lastFrame_.elapsed() < kFrameMs) {
            if (!framePending_) {
                framePending_ = true;
                deferredFrame_.start(static_cast<int>(kFrameMs - lastFrame_.elapsed()));
            }
            return true; // painted by the deferred frame
        }
        lastFrame_.start();
    }
    return QMainWindow::event(e);
}

void frmMain::paintDeferredFrame()
{
    if (!framePending_)
        return;
    framePending_ = false;
    lastFrame_.start();
    // Straight to the base class: this is the frame that was held back.
    QEvent request(QEvent::UpdateRequest);
    QMainWindow::event(&request);
}

void frmMain::setUpPaintPacing()
{
    deferredFrame_.setSingleShot(true);
    connect(&deferredFrame_, &QTimer::timeout, this, &frmMain::paintDeferredFrame);
}
