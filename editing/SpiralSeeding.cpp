// "Spiral": draw a one-turn spiral of arcs in pure green, then turn every green pixel the
// scan still finds into a brush disc.
#include "display/frmMain.h"

#include <QPushButton>

namespace {

constexpr QRgb kSpiralGreen = 0x00FF00; // (0, 255, 0): no other drawing produces it

} // namespace

void frmMain::Spiral_Click()
{
    const double last = state.lastIdx;
    const QColor green(0, 255, 0);
    for (int i = 0; i < 400; ++i) {
        Picture3->arc(static_cast<float>(last * 0.5), static_cast<float>(last * 0.4),
            static_cast<float>(i * 0.00125 * last), static_cast<float>(i * 0.0157),
            static_cast<float>((i + 1) * 0.0157), green);
    }
    // Rows outer, columns inner: a disc painted earlier covers green pixels further on,
    // which then start no disc of their own.
    for (std::int32_t j = 0; j <= state.lastIdx; ++j)
        for (std::int32_t i = 0; i <= state.lastIdx; ++i)
            if ((Picture3->point(i, j) & 0xFFFFFF) == kSpiralGreen)
                PlotSpiral(i, j);
}

void frmMain::connectSpiral()
{
    connect(Spiral, &QPushButton::clicked, this, &frmMain::Spiral_Click);
}
