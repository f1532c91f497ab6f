// The 2D activator field as a grey-level image in Picture3.
#include "FieldImage.h"
#include "frmMain.h"

#include <algorithm>

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
    Picture3->clear();
    const int w = Picture3->innerWidth();
    const int h = Picture3->innerHeight();
    // The frame is composed off screen and copied in one block, so the box never shows a
    // half-drawn frame. Pixels of the off-screen image beyond the cells stay black.
    QImage frame(w, h, QImage::Format_RGB32);
    frame.fill(Qt::black);
    const int n = state.nCells;
    if (n >= 1 && u.size() >= std::size_t(n) * std::size_t(n)) {
        const QImage cells = rd::renderField(u.data(), n, state.grayScale);
        const int cw = std::min(w, n), ch = std::min(h, n);
        for (int y = 0; y < ch; ++y)
            std::copy_n(reinterpret_cast<const QRgb*>(cells.constScanLine(y)), cw,
                reinterpret_cast<QRgb*>(frame.scanLine(y)));
    }
    Picture3->blit(frame);
}
