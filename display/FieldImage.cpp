#include "FieldImage.h"

#include <cmath>

namespace rd {

int grayLevel(float u, float grayScale)
{
    // The product is rounded to single precision once, then to an integer: a level of
    // 127.5 gives 128 and 128.5 gives 128.
    const float product = u * grayScale;
    if (!std::isfinite(product))
        return 0;
    const float level = std::nearbyint(product);
    if (level < 0.0f)
        return 0;
    if (level > 255.0f)
        return 255;
    return static_cast<int>(level);
}

QImage renderField(const float* cells, int nCells, float grayScale)
{
    if (nCells < 1 || !cells)
        return {};
    QImage img(nCells, nCells, QImage::Format_RGB32);
    for (int j = 0; j < nCells; ++j) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(j));
        const float* src = cells + static_cast<std::ptrdiff_t>(j) * nCells;
        for (int i = 0; i < nCells; ++i) {
            const int g = grayLevel(src[i], grayScale);
            row[i] = qRgb(g, g, g);
        }
    }
    return img;
}

} // namespace rd
