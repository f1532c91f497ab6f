// The simulated map's picture: the final fields of u as a mosaic, each tile framed by its
// run's state, with the axes and legend of the analytic map.
#include "pictures/MapPictures.h"

#include "pictures/MapFrame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace rd::pictures {

namespace {

using namespace rd::analysis;

constexpr int kLeft = 150, kTop = 100, kLegend = 470, kBottom = 110, kFrame = 4, kGap = 2;
constexpr int kStates = 5;

QColor stateColour(RunState s)
{
    switch (s) {
    case RunState::Converged:
        return QColor(40, 165, 70);
    case RunState::StillChanging:
        return QColor(245, 170, 0);
    case RunState::Oscillating:
        return QColor(50, 110, 235);
    case RunState::Extinct:
        return QColor(165, 165, 165);
    case RunState::ArithmeticError:
        break;
    }
    return QColor(225, 30, 30);
}

} // namespace

QImage mosaicPicture(const runs::MapSpec& a, const runs::SimulatedMap& m, const MosaicStyle& style)
{
    using namespace map;
    const int cx = static_cast<int>(a.x.values.size());
    const int cy = static_cast<int>(a.y.values.size());
    const int pitch = style.tile + kGap;
    // One value range for every tile, so that tiles compare.
    float lo = INFINITY, hi = -INFINITY;
    std::array<int, kStates> counts {};
    for (const runs::SimulatedPoint& p : m.points) {
        ++counts[static_cast<std::size_t>(p.state)];
        if (p.state == RunState::ArithmeticError)
            continue;
        for (float v : p.u)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    }
    if (!(lo <= hi))
        lo = hi = 0.0f;
    const LevelScale scale { lo, hi > lo ? 255.0f / (hi - lo) : 0.0f };

    const QRectF plot(kLeft, kTop, cx * pitch, cy * pitch);
    const int height = kTop + std::max(cy * pitch, 620) + kBottom;
    QImage img(kLeft + cx * pitch + kLegend, height, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    img.fill(Qt::white);
    QPainter p(&img);
    const int side = a.base.oneD ? 1 : m.n;
    const int inner = style.tile - 2 * kFrame;
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i) {
            const runs::SimulatedPoint& pt = m.points[static_cast<std::size_t>(j * cx + i)];
            const QRect tile(kLeft + i * pitch + kGap / 2, kTop + (cy - 1 - j) * pitch + kGap / 2,
                style.tile, style.tile);
            p.fillRect(tile, stateColour(pt.state));
            const QRect field = tile.adjusted(kFrame, kFrame, -kFrame, -kFrame);
            if (pt.state == RunState::ArithmeticError || pt.u.empty()) {
                p.fillRect(field, QColor(60, 60, 60));
                continue;
            }
            const QImage cells = colourField(pt.u, m.n, side, scale, style.colormap, 1);
            if (cells.isNull())
                throw std::bad_alloc();
            p.drawImage(
                field, cells.scaled(inner, inner, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
    p.setRenderHint(QPainter::Antialiasing);
    const AxisScale xs { &a.x, plot.left(), plot.width(), false };
    const AxisScale ys { &a.y, plot.top(), plot.height(), true };
    const bool inside = drawStartUp(p, plot, xs, ys, a);
    drawAxis(p, plot, xs, false, true, axisTitle(a, a.x));
    drawAxis(p, plot, ys, true, true, axisTitle(a, a.y));

    p.setPen(Qt::black);
    p.setFont(font(24, true));
    p.drawText(QRectF(kLeft, 18, img.width() - kLeft, 34), Qt::AlignLeft,
        QString("Final fields of u after %1 steps: %2").arg(a.base.steps).arg(gridText(a)));
    p.setFont(font(17));
    const std::string start = "start: " + style.initText
        + (a.base.initial.kind == runs::InitKind::Random
                ? ", seed " + std::to_string(a.base.initial.seed)
                : "");
    p.drawText(QRectF(kLeft, 56, img.width() - kLeft, 28), Qt::AlignLeft,
        QString("%1 \u00D7 %2 runs, %3; each tile framed by its run's state")
            .arg(cx)
            .arg(cy)
            .arg(QString::fromStdString(start)));

    const double lx = plot.right() + 40;
    double y = plot.top();
    p.setFont(font(18, true));
    p.drawText(QRectF(lx, y, kLegend, 26), Qt::AlignLeft | Qt::AlignVCenter, "Run state (frame)");
    y += 34;
    for (const RunState s : { RunState::Converged, RunState::StillChanging, RunState::Oscillating,
             RunState::Extinct, RunState::ArithmeticError })
        y = legendRow(p, lx, y, stateColour(s),
            QString("%1  (%2)").arg(runStateName(s)).arg(counts[static_cast<std::size_t>(s)]),
            true);
    y += 14;
    p.setFont(font(16));
    p.setPen(QPen(Qt::black, 2.5));
    p.drawEllipse(QPointF(lx + 13, y + 13), 9, 9);
    p.drawText(QRectF(lx + 36, y, kLegend - 40, 52), Qt::AlignLeft | Qt::TextWordWrap,
        startUpText(a, inside));
    y += 90;
    colourBar(
        p, QRectF(lx, y, 26, 220), lo, hi,
        [&](double f) {
            return QColor::fromRgb(
                colormapEntry(style.colormap, static_cast<int>(std::lround(f * 255))));
        },
        "u, one range for all tiles");
    return img;
}

} // namespace rd::pictures
