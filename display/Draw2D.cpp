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
    const int w = Picture3->innerWidth();
    const int h = Picture3->innerHeight();
    const int n = state.nCells;
    const bool held = n >= 1 && u.size() >= std::size_t(n) * std::size_t(n);
    // The frame is composed off screen and copied in one block, so the box never shows a
    // half-drawn frame; it covers the whole box, so nothing of the previous picture stays.
    // A run redraws every few steps, so the usual case, a box exactly the field's size,
    // takes the cells' image as it is.
    QImage frame = held ? rd::renderField(u.data(), n, state.grayScale) : QImage();
    if (frame.size() != QSize(w, h)) {
        // Pixels beyond the cells are black; cells beyond the box are cut off.
        QImage boxed(w, h, QImage::Format_RGB32);
        boxed.fill(Qt::black);
        const int cw = std::min(w, frame.width()), ch = std::min(h, frame.height());
        for (int y = 0; y < ch; ++y)
            std::copy_n(reinterpret_cast<const QRgb*>(frame.constScanLine(y)), cw,
                reinterpret_cast<QRgb*>(boxed.scanLine(y)));
        frame = std::move(boxed);
    }
    Picture3->blit(frame);
}
