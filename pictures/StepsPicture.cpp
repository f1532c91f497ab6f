// The simulated map's second picture under --until steady: the step at which each run
// stopped, one cell per point, with the axes and legend of the other maps.
#include "pictures/MapPictures.h"

#include "pictures/MapFrame.h"

#include <algorithm>
#include <cmath>

namespace rd::pictures {

namespace {

using namespace rd::analysis;

const QColor kRanOn(222, 226, 232); // the analytic map's "stable": quiet
const QColor kFailed(225, 30, 30); // the mosaic's frame of an arithmetic error

bool settled(RunState s)
{
    return s == RunState::Converged || s == RunState::Extinct;
}

// Short runs dark, long ones bright.
QColor stepsShade(double fraction)
{
    const int level = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 255.0));
    return QColor::fromRgb(colormapEntry(Colormap::Viridis, level));
}

void deathMark(QPainter& p, QPointF at, double half)
{
    for (const auto& [colour, width] :
        { std::pair { QColor(Qt::white), 3.5 }, { QColor(Qt::black), 1.5 } }) {
        p.setPen(QPen(colour, width));
        p.drawLine(at + QPointF(-half, -half), at + QPointF(half, half));
        p.drawLine(at + QPointF(-half, half), at + QPointF(half, -half));
    }
}

} // namespace

QImage stepsPicture(
    const runs::MapDescription& a, const runs::SimulatedMap& m, const MosaicStyle& style)
{
    using namespace map;
    const int cx = static_cast<int>(a.x.values.size());
    const int cy = static_cast<int>(a.y.values.size());
    double lo = INFINITY, hi = -INFINITY;
    int settledRuns = 0, ranOn = 0, failed = 0;
    for (const runs::SimulatedPoint& p : m.points) {
        if (settled(p.state)) {
            ++settledRuns;
            lo = std::min(lo, double(p.steps));
            hi = std::max(hi, double(p.steps));
        } else {
            ++(p.state == RunState::ArithmeticError ? failed : ranOn);
        }
    }
    // Drawn into the plot without smoothing.
    const QImage points = pointsImage(cx, cy, [&](std::size_t k) {
        const runs::SimulatedPoint& pt = m.points[k];
        return settled(pt.state) ? stepsShade(hi > lo ? (pt.steps - lo) / (hi - lo) : 0.5)
            : pt.state == RunState::ArithmeticError ? kFailed
                                                    : kRanOn;
    });
    if (points.isNull())
        return {};

    QImage img = plotCanvas(points);
    if (img.isNull())
        return {};
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(kLeft, kTop, kPlot, kPlot);
    const AxisScale xs { &a.x, plot.left(), plot.width(), false };
    const AxisScale ys { &a.y, plot.top(), plot.height(), true };
    // A run that died out is marked, since dying and settling into a pattern differ; on
    // cells too small for a mark the mosaic still tells.
    const double cell = std::min(plot.width() / cx, plot.height() / cy);
    int extinct = 0;
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i)
            if (m.points[static_cast<std::size_t>(j * cx + i)].state == RunState::Extinct) {
                ++extinct;
                if (cell >= 8)
                    deathMark(p, QPointF(xs.ofIndex(i), ys.ofIndex(j)), std::min(0.2 * cell, 7.0));
            }
    const bool inside = drawStartUp(p, plot, xs, ys, a);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    drawAxis(p, plot, xs, false, true, axisTitle(a, a.x));
    drawAxis(p, plot, ys, true, true, axisTitle(a, a.y));

    drawTitles(p, kPlot + kLegend,
        QString("Steps to a steady state, at most %1: %2").arg(a.base.steps).arg(gridText(a)),
        QString("%1 \u00D7 %2 runs, %3; each stopped once u settled (checked every 100 steps)")
            .arg(cx)
            .arg(cy)
            .arg(runsStartText(a, style.initText)));

    const double lx = plot.right() + 40;
    double y = plot.top();
    p.setFont(font(18, true));
    p.drawText(
        QRectF(lx, y, kLegend, 26), Qt::AlignLeft | Qt::AlignVCenter, "Where each run stopped");
    y += 34;
    y = legendRow(p, lx, y, stepsShade(0.5),
        QString("settled: converged or died out  (%1)").arg(settledRuns));
    deathMark(p, QPointF(lx + 13, y + 13), 6);
    p.setPen(Qt::black);
    p.drawText(QRectF(lx + 36, y, kLegend - 40, 26), Qt::AlignLeft | Qt::AlignVCenter,
        QString("died out  (%1)").arg(extinct));
    y += 30;
    y = legendRow(
        p, lx, y, kRanOn, QString("not settled in %1 steps  (%2)").arg(a.base.steps).arg(ranOn));
    y = legendRow(p, lx, y, kFailed, QString("arithmetic error  (%1)").arg(failed));
    y += 14;
    p.setFont(font(16));
    p.setPen(QPen(Qt::black, 2.5));
    p.drawEllipse(QPointF(lx + 13, y + 13), 9, 9);
    p.drawText(QRectF(lx + 36, y, kLegend - 40, 52), Qt::AlignLeft | Qt::TextWordWrap,
        startUpText(a, inside));
    y += 80;
    if (settledRuns > 0)
        colourBar(
            p, QRectF(lx, y + 34, 26, std::min(260.0, plot.bottom() - y - 40)), lo, hi,
            [&](double f) { return stepsShade(hi > lo ? f : 0.5); }, "steps of a settled run");
    return img;
}

} // namespace rd::pictures
