// Shared by the window, display and editing tests: reaching the window's private drawing and
// intake procedures, exact float comparison, pixel sets and driving the real widgets and runs.
#pragma once

#include "display/frmMain.h"

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QLineEdit;
class QWidget;

struct frmMain::TestAccess {
    static bool applySettings(frmMain& w) { return w.ApplySettings(); }
    static void draw1D(frmMain& w) { w.Draw1D(); }
    static void draw2DFromA(frmMain& w) { w.Draw2DFromA(); }
    static void draw2DFromB(frmMain& w) { w.Draw2DFromB(); }
};
using Access = frmMain::TestAccess;

namespace gt {

using Pixels = std::set<std::pair<int, int>>;

// The bits of a float, so that a comparison is exact and a failure shows the bits.
std::uint32_t bits(float f);
bool sameBits(const std::vector<float>& a, const std::vector<float>& b);
// Indices k < count with a[k] exactly equal to value.
std::set<std::int64_t> indicesEqual(const std::vector<float>& a, std::int64_t count, float value);
// Pixels (x, y) of exactly this colour (alpha ignored).
Pixels pixelsOf(const QImage& image, QRgb colour);

// The window, shown and exposed.
std::unique_ptr<frmMain> shownWindow();
void click(QWidget* widget);
void typeInto(QLineEdit* box, const QString& text);
// Clicks "2D", then Clear, so that the field image is placed and the field is zero.
void switchTo2D(frmMain& w);
// Widget position of cell (i, j) of a picture box, inside its border.
QPoint cell(int i, int j);
int counter(const frmMain& w);
// The "Function" menu's entry of a model.
QAction* menuEntry(frmMain& w, rd::Model model);

// Clicks Run and calls act(yield) once in every yield of the run (yield n follows step n and
// its redraw), nested runs started from act included, until act stops the run. A run going on
// past maxYields or 20 s is stopped. Returns the number of yields, or -1 if it had to stop it.
int driveRun(frmMain& w, const std::function<void(int yield)>& act, int maxYields = 20000);

// A run that calls `act` in yield actAt and clicks Stop in yield stopAt: the state right after
// act, or nothing if the run did not end there.
std::optional<rd::SimState> actDuringRun(
    frmMain& w, int actAt, int stopAt, const std::function<void()>& act);
// `steps` engine steps of `model` from `from` give the window's four arrays bit for bit.
bool stepsLeadTo(rd::SimState from, rd::Model model, bool oneD, int steps, const frmMain& w);

} // namespace gt
