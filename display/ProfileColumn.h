// One column of a 1D profile plot: erased in white over the whole range, then the bar.
#pragma once

#include "display/PictureBox.h"

namespace rd {

// The white stroke from 0 up to the top of the range, plus its end point, which a line
// leaves out: without it a bar that once reached above the range would leave a trace in
// the top row of the box when it is lowered.
inline void eraseProfileColumn(PictureBox* box, float x, float top)
{
    box->line(x, 0.0f, x, top, Qt::white);
    box->pset(x, top, Qt::white);
}

} // namespace rd
