// The 1D profiles: u as red bars in Picture1, v as blue bars in Picture2.
#include "display/ProfileColumn.h"
#include "display/frmMain.h"

#include <algorithm>

void frmMain::Draw1D()
{
    const QColor red(255, 0, 0), blue(0, 0, 255);
    // The bound is read once; cells the arrays do not hold are not drawn.
    const std::size_t held = std::min(state.uA.size(), state.vA.size());
    const int last = std::min<long long>(state.lastIdx, static_cast<long long>(held) - 1);
    for (int i = 0; i <= last; ++i) {
        const float x = static_cast<float>(i);
        rd::eraseProfileColumn(Picture1, x, state.uMax);
        Picture1->line(x, 0.0f, x, state.uA[i], red);
        rd::eraseProfileColumn(Picture2, x, state.vMax);
        Picture2->line(x, 0.0f, x, state.vA[i], blue);
    }
}
