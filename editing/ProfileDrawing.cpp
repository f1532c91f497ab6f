// Drawing the 1D profiles freehand: the cell under the pointer takes the pointer's height.
#include "display/frmMain.h"

#include "display/ProfileColumn.h"
#include "settings/NumberText.h"

frmMain::ProfileEditor frmMain::profileEditor(int box)
{
    if (box == 1)
        return { Picture1, &state.uA, state.uMax, QColor(255, 0, 0) };
    return { Picture2, &state.vA, state.vMax, QColor(0, 0, 255) };
}

void frmMain::profileEdit(const ProfileEditor& e, float X, float value)
{
    const auto c = rd::roundHalfEven(static_cast<double>(X));
    if (!c || *c < 0 || static_cast<std::size_t>(*c) >= e.cells->size())
        return; // a cell index is always inside the line's arrays
    rd::eraseProfileColumn(e.box, X, e.top);
    (*e.cells)[static_cast<std::size_t>(*c)] = value;
    e.box->line(X, 0.0f, X, value, e.colour);
}

// Presses and moves edit alike. A press on the box's border lies outside the drawing area:
// past either end of the line, or above the top or below 0 of the range.
void frmMain::profileEditAt(int box, float X, float Y)
{
    // Past either end nothing at all happens: no erase, no write, no bar.
    if (X < 0.0f || X > static_cast<float>(state.lastIdx))
        return;
    const ProfileEditor e = profileEditor(box);
    profileEdit(e, X, Y > e.top ? e.top : (Y < 0.0f ? 0.0f : Y));
}

void frmMain::profileDown(int box, int button, float X, float Y)
{
    if (button != PictureBox::kLeftButton || state.mouseDown)
        return;
    // The stroke starts even on the border, so dragging from there into the plot draws.
    state.mouseDown = rd::kTrue;
    // A press left or right of the drawing area edits nothing whatever the scale: right
    // after start-up the right border still reads X = lastIdx, a cell whose bar would fall
    // outside the picture and so be changed unseen.
    const PictureBox* picture = profileEditor(box).box;
    const auto column = picture->pixelX(X);
    if (!column || *column < 0 || *column >= picture->innerWidth())
        return;
    profileEditAt(box, X, Y);
}

void frmMain::profileMove(int box, float X, float Y)
{
    if (state.mouseDown)
        profileEditAt(box, X, Y);
}

void frmMain::Picture1_MouseDown(int button, int, float x, float y)
{
    profileDown(1, button, x, y);
}
void frmMain::Picture1_MouseMove(int, int, float x, float y)
{
    profileMove(1, x, y);
}
void frmMain::Picture1_MouseUp(int, int, float, float)
{
    state.mouseDown = rd::kFalse;
}
void frmMain::Picture2_MouseDown(int button, int, float x, float y)
{
    profileDown(2, button, x, y);
}
void frmMain::Picture2_MouseMove(int, int, float x, float y)
{
    profileMove(2, x, y);
}
void frmMain::Picture2_MouseUp(int, int, float, float)
{
    state.mouseDown = rd::kFalse;
}

void frmMain::connectProfileDrawing()
{
    connect(Picture1, &PictureBox::mouseDown, this, &frmMain::Picture1_MouseDown);
    connect(Picture1, &PictureBox::mouseMove, this, &frmMain::Picture1_MouseMove);
    connect(Picture1, &PictureBox::mouseUp, this, &frmMain::Picture1_MouseUp);
    connect(Picture2, &PictureBox::mouseDown, this, &frmMain::Picture2_MouseDown);
    connect(Picture2, &PictureBox::mouseMove, this, &frmMain::Picture2_MouseMove);
    connect(Picture2, &PictureBox::mouseUp, this, &frmMain::Picture2_MouseUp);
}
