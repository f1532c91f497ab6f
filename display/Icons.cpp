#include "display/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace rd::icons {

namespace {

// One and three quarter outward turns of an Archimedean spiral around the centre of a
// 32 x 32 picture, drawn over a background square that leaves `margin` pixels transparent
// on every side.
QImage drawSpiral(const QColor& background, const QColor& ink, qreal penWidth, int margin)
{
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.fillRect(margin, margin, 32 - 2 * margin, 32 - 2 * margin, background);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    constexpr int kSteps = 120;
    constexpr double kTurns = 1.75;
    for (int k = 0; k <= kSteps; ++k) {
        const double t = 2.0 * std::numbers::pi * kTurns * k / kSteps;
        const double r = (13.5 - margin) * k / kSteps;
        const QPointF pt(16.0 + r * std::cos(t), 16.0 - r * std::sin(t));
        if (k == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    p.setPen(QPen(ink, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    return img;
}

} // namespace

QImage spiralPicture()
{
    // The button is 33 pixels square: the margin keeps its raised edge in sight all round.
    return drawSpiral(QColor(0, 0, 0), QColor(0, 255, 0), 2.0, kSpiralMargin);
}

QIcon windowIcon()
{
    QImage img = drawSpiral(QColor(0, 0, 96), QColor(255, 64, 64), 3.0, 0);
    return QIcon(QPixmap::fromImage(img));
}

} // namespace rd::icons
