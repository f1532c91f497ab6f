// Phase-plane plots: a release on a model panel's plot box draws the trajectory of the
// model's reaction terms alone from the released point.
#include "display/frmMain.h"

#include "engine/EngineError.h"
#include "engine/FpStatus.h"
#include "engine/Kinetics.h"

namespace {

constexpr int kTrajectoryPoints = 10000;

} // namespace

void frmMain::Picture4x_MouseUp(int index, int, int, float X, float Y)
{
    if (index < 0 || index >= 4)
        return;
    PictureBox* box = Picture4x[static_cast<std::size_t>(index)];
    // The point is taken in the box's scale as it was before the intake re-scales it.
    float u = X, v = Y;
    // A refused intake leaves the box and its last trajectory as they were.
    if (!ApplySettings())
        return;
    box->clear();
    const auto model = static_cast<rd::Model>(index);
    const QColor black(0, 0, 0);
    int n = 1;
    try {
        for (n = 1; n <= kTrajectoryPoints; ++n) {
            rd::callModel(model, state, u, v, state.synU, state.synV);
            // Both updates use the increments of the point before the update.
            u = state.synU * state.dt + u;
            rd::fp::checkStore(u);
            v = state.dt * state.synV + v;
            rd::fp::checkStore(v);
            if (u < 0.0f)
                u = 0.0f;
            if (v < 0.0f)
                v = 0.0f;
            box->pset(u, v, black);
        }
    } catch (const rd::EngineError& e) {
        ShowMessage(QStringLiteral("Phase plot stopped"),
            QStringLiteral("The trajectory stopped at step %1 of %2: %3. The points drawn "
                           "before it stay.")
                .arg(n)
                .arg(kTrajectoryPoints)
                .arg(QString::fromStdString(e.what())));
    }
}

void frmMain::connectPanelPlots()
{
    for (int i = 0; i < 4; ++i)
        connect(Picture4x[static_cast<std::size_t>(i)], &PictureBox::mouseUp, this,
            [this, i](int button, int shift, float x, float y) {
                Picture4x_MouseUp(i, button, shift, x, y);
            });
}
