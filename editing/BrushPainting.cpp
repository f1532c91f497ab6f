// Painting discs into the 2D field with the left button held on the field image.
#include "display/frmMain.h"

#include "settings/NumberText.h"

#include <QSlider>

#include <cmath>

namespace {

std::int32_t roundCoordinate(double value)
{
    // Pointer positions are bounded by the screen; anything else clips to nothing.
    return rd::roundHalfEven(value).value_or(value < 0 ? INT32_MIN : INT32_MAX);
}

} // namespace

void frmMain::paintCell(std::int32_t i, std::int32_t j, std::int32_t a)
{
    const auto idx = static_cast<std::size_t>(i)
        + static_cast<std::size_t>(j) * static_cast<std::size_t>(state.nCells);
    if (idx >= state.uA.size())
        return; // never outside the arrays, whatever the sizes
    // The brush value is uMax * a / 255 in double, stored single; both sets get it so the
    // edit holds whichever set is current.
    if (state.paintU) {
        state.uA[idx] = static_cast<float>(static_cast<double>(state.uMax) * a / 255.0);
        state.uB[idx] = state.uA[idx];
        Picture3->pset(static_cast<float>(i), static_cast<float>(j), QColor(a, 0, 0));
    } else {
        state.vA[idx] = static_cast<float>(static_cast<double>(state.vMax) * a / 255.0);
        state.vB[idx] = state.vA[idx];
        Picture3->pset(static_cast<float>(i), static_cast<float>(j), QColor(0, 0, a));
    }
}

void frmMain::paintDisc(float X, float Y)
{
    const std::int32_t r = Slider1->value();
    const std::int32_t a = static_cast<std::int16_t>(Slider2->value());
    std::int32_t x0 = roundCoordinate(static_cast<double>(X) - r);
    std::int32_t x1 = roundCoordinate(static_cast<double>(X) + r);
    std::int32_t y0 = roundCoordinate(static_cast<double>(Y) - r);
    std::int32_t y1 = roundCoordinate(static_cast<double>(Y) + r);
    if (x0 < 0)
        x0 = 0;
    if (y0 < 0)
        y0 = 0;
    if (x1 > state.lastIdx)
        x1 = state.lastIdx;
    if (y1 > state.lastIdx)
        y1 = state.lastIdx;
    for (std::int32_t i = x0; i <= x1; ++i) {
        for (std::int32_t j = y0; j <= y1; ++j) {
            const double di = static_cast<double>(i) - static_cast<double>(X);
            const double dj = static_cast<double>(j) - static_cast<double>(Y);
            const float dist = static_cast<float>(std::sqrt(di * di + dj * dj));
            if (dist <= static_cast<float>(r))
                paintCell(i, j, a);
        }
    }
}

void frmMain::Picture3_MouseDown(int button, int, float x, float y)
{
    if (button != PictureBox::kLeftButton || state.mouseDown)
        return;
    state.mouseDown = rd::kTrue;
    paintDisc(x, y);
}

void frmMain::Picture3_MouseMove(int, int, float x, float y)
{
    if (state.mouseDown)
        paintDisc(x, y);
}

void frmMain::Picture3_MouseUp(int, int, float, float)
{
    state.mouseDown = rd::kFalse;
}

void frmMain::PlotSpiral(int k, int l)
{
    const std::int32_t r = Slider1->value();
    const std::int32_t a = static_cast<std::int16_t>(Slider2->value());
    const std::int32_t x0 = std::max(k - r, 0), x1 = std::min(k + r, state.lastIdx);
    const std::int32_t y0 = std::max(l - r, 0), y1 = std::min(l + r, state.lastIdx);
    for (std::int32_t i = x0; i <= x1; ++i) {
        for (std::int32_t j = y0; j <= y1; ++j) {
            const std::int32_t di = k - i, dj = l - j;
            const float dist
                = static_cast<float>(std::sqrt(static_cast<double>(di * di + dj * dj)));
            if (dist <= static_cast<float>(r))
                paintCell(i, j, a);
        }
    }
}

void frmMain::connectBrushPainting()
{
    connect(Picture3, &PictureBox::mouseDown, this, &frmMain::Picture3_MouseDown);
    connect(Picture3, &PictureBox::mouseMove, this, &frmMain::Picture3_MouseMove);
    connect(Picture3, &PictureBox::mouseUp, this, &frmMain::Picture3_MouseUp);
}
