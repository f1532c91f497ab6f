// The simulated map's picture: the final fields of u as a mosaic, each tile framed by its
// run's state, with the axes and legend of the analytic map.
#include "pictures/MapPictures.h"

#include "pictures/MapFrame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <span>
#include <vector>

namespace rd::pictures {

namespace {

using namespace rd::analysis;

constexpr int kFrame = 4, kGap = 2;
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

// The cells of a line of n cells under one of m pixels across it, each with the length of it
// the pixel covers.
struct Cover {
    std::vector<std::pair<int, double>> cells;
};
std::vector<Cover> covers(int n, int m)
{
    std::vector<Cover> all(static_cast<std::size_t>(m));
    for (int p = 0; p < m; ++p) {
        const double a = double(p) * n / m, b = double(p + 1) * n / m;
        for (int c = static_cast<int>(std::floor(a)); c < std::min(n, int(std::ceil(b))); ++c) {
            const double w = std::min(b, c + 1.0) - std::max(a, double(c));
            if (w > 0.0)
                all[static_cast<std::size_t>(p)].cells.emplace_back(c, w);
        }
    }
    return all;
}

} // namespace

std::size_t mosaicTileValues(bool oneD, int tile)
{
    const auto inner = static_cast<std::size_t>(std::max(tile - 2 * kFrame, 0));
    return oneD ? inner : inner * inner;
}

runs::KeptField mosaicTile(std::span<const float> u, int n, bool oneD, int tile)
{
    runs::KeptField kept;
    for (const float v : u)
        if (std::isfinite(v)) {
            kept.lo = std::isnan(kept.lo) ? v : std::min(kept.lo, v);
            kept.hi = std::isnan(kept.hi) ? v : std::max(kept.hi, v);
        }
    const int m = std::max(tile - 2 * kFrame, 0);
    const std::vector<Cover> across = covers(n, m);
    const std::vector<Cover> down = oneD ? std::vector<Cover> { { { { 0, 1.0 } } } } : across;
    kept.values.reserve(mosaicTileValues(oneD, tile));
    // The mean of the finite cells under each pixel, weighted by the area they cover there.
    for (const Cover& row : down)
        for (const Cover& column : across) {
            double sum = 0.0, weight = 0.0;
            for (const auto& [j, wy] : row.cells)
                for (const auto& [i, wx] : column.cells) {
                    const float v
                        = u[static_cast<std::size_t>(j) * std::size_t(n) + std::size_t(i)];
                    if (std::isfinite(v)) {
                        sum += wy * wx * v;
                        weight += wy * wx;
                    }
                }
            kept.values.push_back(weight > 0.0 ? static_cast<float>(sum / weight) : NAN);
        }
    return kept;
}

QImage mosaicPicture(
    const runs::MapDescription& a, const runs::SimulatedMap& m, const MosaicStyle& style)
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
        if (p.state == RunState::ArithmeticError || std::isnan(p.field.lo))
            continue;
        lo = std::min(lo, p.field.lo);
        hi = std::max(hi, p.field.hi);
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
    const int inner = style.tile - 2 * kFrame;
    const std::size_t values = mosaicTileValues(a.base.oneD, style.tile);
    std::vector<float> square;
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i) {
            const runs::SimulatedPoint& pt = m.points[static_cast<std::size_t>(j * cx + i)];
            const QRect tile(kLeft + i * pitch + kGap / 2, kTop + (cy - 1 - j) * pitch + kGap / 2,
                style.tile, style.tile);
            p.fillRect(tile, stateColour(pt.state));
            const QRect field = tile.adjusted(kFrame, kFrame, -kFrame, -kFrame);
            if (pt.state == RunState::ArithmeticError || pt.field.values.size() != values) {
                p.fillRect(field, QColor(60, 60, 60));
                continue;
            }
            std::span<const float> tileValues = pt.field.values;
            if (a.base.oneD) { // a line: the same row all the way down
                square.clear();
                for (int r = 0; r < inner; ++r)
                    square.insert(square.end(), tileValues.begin(), tileValues.end());
                tileValues = square;
            }
            const QImage cells = colourField(tileValues, inner, inner, scale, style.colormap, 1);
            if (cells.isNull())
                throw std::bad_alloc();
            p.drawImage(field.topLeft(), cells);
        }
    p.setRenderHint(QPainter::Antialiasing);
    const AxisScale xs { &a.x, plot.left(), plot.width(), false };
    const AxisScale ys { &a.y, plot.top(), plot.height(), true };
    const bool inside = drawStartUp(p, plot, xs, ys, a);
    drawAxis(p, plot, xs, false, true, axisTitle(a, a.x));
    drawAxis(p, plot, ys, true, true, axisTitle(a, a.y));

    drawTitles(p, img.width() - kLeft,
        QString(a.base.untilSteady ? "Final fields of u, at most %1 steps (until steady): %2"
                                   : "Final fields of u after %1 steps: %2")
            .arg(a.base.steps)
            .arg(gridText(a)),
        QString("%1 \u00D7 %2 runs, %3; each tile framed by its run's state")
            .arg(cx)
            .arg(cy)
            .arg(runsStartText(a, style.initText)));

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
