// What the map pictures share: fonts, the axes with their ticks and setting names, the
// title, the start-up point and the legend's rows.
#pragma once

#include "runs/Maps.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <functional>
#include <string>

namespace rd::pictures::map {

// The layout the map pictures share: the margins, the square plot and the legend beside it.
inline constexpr int kLeft = 150, kTop = 100, kPlot = 760, kLegend = 470, kBottom = 110;

QFont font(int pixels, bool bold = false);

// A value on an axis or a colour bar: `digits` significant digits, but a whole number (a
// count of steps) in full below ten million, 15000 rather than 1.5e+04.
QString number(double v, int digits = 4);

// The pixel position along an axis drawn over `length` pixels from `start`, where the axis's
// values are the centres of equal cells; `reversed` for the vertical axis (values rise
// upwards).
struct AxisScale {
    const runs::MapAxis* axis;
    double start, length;
    bool reversed;
    double ofIndex(double t) const; // t = 0 is the first value's centre
    double ofValue(double v) const;
};

// Ticks at round values (everyValue false) or at the cells' centres, as many as fit.
void drawAxis(QPainter& p, const QRectF& plot, const AxisScale& scale, bool vertical,
    bool everyValue, const QString& title);
// "kA: F (feed rate)", the setting's name and what it is (runs::settingMeaning).
QString axisTitle(const runs::MapDescription& a, const runs::MapAxis& axis);
// The model, the dimension and the grid: "Gray-Scott, 2D, 128 x 128 cells".
QString gridText(const runs::MapDescription& a);
// A ring around the start-up point; false when it lies outside the map.
bool drawStartUp(QPainter& p, const QRectF& plot, const AxisScale& x, const AxisScale& y,
    const runs::MapDescription& a);
QString startUpText(const runs::MapDescription& a, bool inside);
// How the runs of a simulated map began: "start: random, seed 1" (`init` as asked for).
QString runsStartText(const runs::MapDescription& a, const std::string& init);
// One pixel a point, row 0 at the bottom, coloured by `colour(k)` for point k (rows of
// `width` points); a null image when there is no memory for it.
QImage pointsImage(int width, int height, const std::function<QColor(std::size_t)>& colour);
// A white picture of the shared layout with `points` drawn over the plot without smoothing,
// every point a crisp block; a null image when there is no memory for it.
QImage plotCanvas(const QImage& points);
// The title and the line under it, from kLeft across `width` pixels.
void drawTitles(QPainter& p, double width, const QString& title, const QString& subtitle);
// A legend row: a swatch (filled, or framed when `framed`) and its text; returns the next y.
double legendRow(QPainter& p, double x, double y, const QColor& colour, const QString& text,
    bool framed = false);
// A vertical colour bar from `lo` (bottom) to `hi` (top) through `colour(fraction)`.
template <typename Colour>
void colourBar(
    QPainter& p, const QRectF& bar, double lo, double hi, Colour colour, const QString& title);
void colourBarFrame(QPainter& p, const QRectF& bar, double lo, double hi, const QString& title);

template <typename Colour>
void colourBar(
    QPainter& p, const QRectF& bar, double lo, double hi, Colour colour, const QString& title)
{
    const int rows = static_cast<int>(bar.height());
    for (int r = 0; r < rows; ++r)
        p.fillRect(QRectF(bar.left(), bar.bottom() - r - 1, bar.width(), 1),
            colour(rows > 1 ? double(r) / (rows - 1) : 0.0));
    colourBarFrame(p, bar, lo, hi, title);
}

} // namespace rd::pictures::map
