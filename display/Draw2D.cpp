// The 2D activator field as a grey-level image in Picture3.
#include "display/FieldImage.h"
#include "display/frmMain.h"

#include <cstddef>

void frmMain::Draw2DFromA()
{
    Draw2D(state.uA);
}

void frmMain::Draw2DFromB()
{
    Draw2D(state.uB);
}

void frmMain::Draw2D(const std::vector<float>& u)
{
    // One pixel per cell from the top-left corner, clipped to the box; where the cells do not
    // reach, the box's black background. Both land in the box's image before the next paint,
    // so the box never shows a half-drawn frame.
    const int n = state.nCells;
    const bool held = n >= 1 && u.size() >= std::size_t(n) * std::size_t(n);
    const QImage cells = held ? rd::renderField(u.data(), n, state.grayScale) : QImage();
    if (cells.width() < Picture3->innerWidth() || cells.height() < Picture3->innerHeight())
        Picture3->clear();
    if (!cells.isNull())
        Picture3->blit(cells);
}
