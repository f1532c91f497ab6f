// Helpers shared by the editing tests: a shown window, cell positions on the picture
// boxes, exact float comparison and a driver for runs that acts between two steps.
#pragma once

#include "frmMain.h"

#include <QImage>
#include <QPoint>

#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace edit {

// Float bits, so that QCOMPARE compares exactly instead of fuzzily.
inline std::uint32_t bits(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}

// The window, shown and exposed, in 1D with its start-up state.
std::unique_ptr<frmMain> shownWindow();
// Clicks "2D", then Clear, so that the field image is placed and the field is zero.
void switchTo2D(frmMain& w);
// Local widget position of cell (i, j) of a box with the 2-pixel border.
inline QPoint cell(int i, int j)
{
    return { PictureBox::kBorderWidth + i, PictureBox::kBorderWidth + j };
}
// Types text into a box as a user would.
void typeInto(class QLineEdit* box, const QString& text);
// Indices of the elements in [0, count) equal to value, exactly.
std::set<std::int64_t> indicesEqual(const std::vector<float>& a, std::int64_t count, float value);
// Pixels of an image that have exactly this colour, as (x, y).
std::set<std::pair<int, int>> pixelsOf(const QImage& image, QRgb colour);
int counter(const frmMain& w);
// Clicks Run and, after every step of the run, calls each(counter) until it returns true;
// then stops the run if it is still going. A guard stops any run after guardMs. Returns
// false if the guard had to stop it.
bool driveRun(frmMain& w, const std::function<bool(int)>& each, int guardMs = 20000);

} // namespace edit
