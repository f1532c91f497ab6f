// The 1D profiles: u as red bars in Picture1, v as blue bars in Picture2.
#include "frmMain.h"

#include <algorithm>

namespace {

// The white stroke from 0 up to the top of the range, plus its end point, which a line
// leaves out: without it a bar that once reached above the range would leave a trace in
// the top row of the box when it is lowered.
void eraseColumn(PictureBox* box, float x, float top)
{
    box->line(x, 0.0f, x, top, Qt::white);
    box->pset(x, top, Qt::white);
}

} // namespace

void frmMain::Draw1D()
{
    const QColor red(255, 0, 0), blue(0, 0, 255);
    // The bound is read once; cells the arrays do not hold are not drawn.
    const std::size_t held = std::min(state.uA.size(), state.vA.size());
    const int last = std::min<long long>(state.lastIdx, static_cast<long long>(held) - 1);
    for (int i = 0; i <= last; ++i) {
        const float x = static_cast<float>(i);
        eraseColumn(Picture1, x, state.uMax);
        Picture1->line(x, 0.0f, x, state.uA[i], red);
        eraseColumn(Picture2, x, state.vMax);
        Picture2->line(x, 0.0f, x, state.vA[i], blue);
    }
}
