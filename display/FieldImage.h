// The grey-level picture of a square activator field: one pixel per cell, black at 0 and
// white at the top of the display range. Needs QtGui only, so tools without a window can
// render fields too.
#pragma once

#include <QImage>

namespace rd {

// Grey level of one cell: the single-precision product u * grayScale rounded half to even,
// below 0 (and any product that is not a finite number) black, above 255 white.
int grayLevel(float u, float grayScale);

// nCells x nCells image (Format_RGB32) of cells[j * nCells + i] at pixel (i, j). A null
// image when nCells < 1.
QImage renderField(const float* cells, int nCells, float grayScale);

} // namespace rd
