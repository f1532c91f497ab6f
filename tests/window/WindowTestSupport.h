// Driving the real window from tests: typing into boxes, clicking, and acting between the
// steps of a run.
#pragma once

#include "frmMain.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRgb>
#include <QString>

#include <functional>

class QLineEdit;

struct frmMain::TestAccess {
    static bool applySettings(frmMain& w) { return w.ApplySettings(); }
    static void draw2DFromB(frmMain& w) { w.Draw2DFromB(); }
};

namespace wt {

// "0x3c23d70b": the bits of a single-precision number, for exact comparisons that read well
// when they fail.
QString bitsOf(float f);

void typeInto(QLineEdit* box, const QString& text);
void clickRun(frmMain& w);
// Selects "2D" (or "1D") with a click on its option button.
void choose(frmMain& w, int option);

bool hasColour(const PictureBox& box, QRgb colour);
// Marks one pixel with a colour no picture of the window uses, to see whether it is redrawn.
inline constexpr QRgb kMarker = qRgb(0, 255, 0);
void putMarker(PictureBox& box);

// Calls an action once in every yield of a run: each call posts the next one first, and an
// event posted while posted events are being delivered waits for the next pass, so one pass
// (one step of the loop) gives one call. Nested loops started from the action are driven too.
// A run that goes on past maxYields or 20 s is stopped and reported as tripped.
class YieldDriver : public QObject {
public:
    using Action = std::function<void(int yield)>;
    YieldDriver(frmMain& w, Action action, int maxYields = 20000);
    // Clicks Run with the driver armed; returns when the click's loop has ended.
    void clickStart();
    int yields() const { return yields_; }
    bool tripped() const { return tripped_; }

private:
    void post();
    void fire(int generation);

    frmMain& w_;
    Action action_;
    int maxYields_;
    int yields_ = 0;
    // Calls posted for an earlier click are dropped.
    int generation_ = 0;
    bool armed_ = false;
    bool tripped_ = false;
    QElapsedTimer clock_;
};

} // namespace wt
