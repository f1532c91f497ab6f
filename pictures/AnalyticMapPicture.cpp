// The analytic map: one colour per class, the Turing region shaded by the predicted
// wavelength, axes, legend and the start-up point.
#include "pictures/MapPictures.h"

#include "pictures/MapFrame.h"
#include "runs/ModelAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace rd::pictures {

namespace {

using namespace rd::analysis;

// Light, quiet colours for the classes; the Turing region takes the strong colours of its
// wavelength scale.
QColor classColour(PointClass c)
{
    switch (c) {
    case PointClass::NumericallyUnstable:
        return QColor(70, 70, 70);
    case PointClass::TuringUnstable:
        return QColor(33, 145, 140); // the legend's swatch; the map shades it
    case PointClass::Oscillatory:
        return QColor(250, 180, 90);
    case PointClass::UniformlyUnstable:
        return QColor(235, 120, 110);
    case PointClass::Bistable:
        return QColor(190, 160, 225);
    case PointClass::Marginal:
        return QColor(255, 236, 130);
    case PointClass::Stable:
        return QColor(222, 226, 232);
    case PointClass::NoState:
        break;
    }
    return QColor(255, 255, 255);
}

const char* classLabel(PointClass c)
{
    switch (c) {
    case PointClass::NumericallyUnstable:
        return "numerically unstable (the step diverges)";
    case PointClass::TuringUnstable:
        return "Turing-unstable (shade: wavelength)";
    case PointClass::Oscillatory:
        return "oscillatory (the step's Hopf line)";
    case PointClass::UniformlyUnstable:
        return "uniformly unstable";
    case PointClass::Bistable:
        return "bistable (two stable states)";
    case PointClass::Marginal:
        return "marginal (or a fold)";
    case PointClass::Stable:
        return "stable";
    case PointClass::NoState:
        break;
    }
    return "no uniform state";
}

// A typed model's states are searched for in a box, so "none" is said of the box: its
// bounds where every point shares them, else the ranges that set it.
QString noStateLabel(const runs::MapDescription& a)
{
    if (std::holds_alternative<Model>(a.base.model))
        return classLabel(PointClass::NoState);
    const runs::Prepared run = runs::prepare(a.base, false);
    const auto setsBox = [](const runs::MapAxis& axis) {
        return axis.field == BoxField::UMax || axis.field == BoxField::VMax;
    };
    if (!run.analysisBounds && (setsBox(a.x) || setsBox(a.y)))
        return "no uniform state in 0 \u2264 u \u2264 uMax, 0 \u2264 v \u2264 vMax";
    const AnalysisBounds box = runs::schemeOf(run).box;
    return QString("no uniform state in %1 \u2264 u \u2264 %2, %3 \u2264 v \u2264 %4")
        .arg(box.uLow, 0, 'g', 6)
        .arg(box.uHigh, 0, 'g', 6)
        .arg(box.vLow, 0, 'g', 6)
        .arg(box.vHigh, 0, 'g', 6);
}

// The Turing shades: the colour table without its palest end, short wavelengths dark.
QColor turingShade(double fraction)
{
    const int level = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 215.0));
    return QColor::fromRgb(colormapEntry(Colormap::Viridis, level));
}

} // namespace

AnalyticMapPicture::AnalyticMapPicture(const runs::MapDescription& request)
    : request_(request)
    , kinds_(request.x.values.size() * request.y.values.size(), PointClass::NoState)
    , wavelengths_(kinds_.size(), NAN)
{ }

void AnalyticMapPicture::addRow(std::size_t j, std::span<const PointResult> row)
{
    const std::size_t first = j * request_.x.values.size();
    for (std::size_t i = 0; i < row.size(); ++i) {
        kinds_[first + i] = row[i].kind;
        wavelengths_[first + i] = row[i].wavelength;
    }
}

QImage analyticPicture(const runs::MapDescription& a, const runs::AnalyticMap& map)
{
    AnalyticMapPicture picture(a);
    const std::size_t width = a.x.values.size();
    for (std::size_t j = 0; j < a.y.values.size(); ++j)
        picture.addRow(j, std::span(map.points).subspan(j * width, width));
    return picture.draw();
}

QImage AnalyticMapPicture::draw() const
{
    using namespace map;
    const runs::MapDescription& a = request_;
    const int width = static_cast<int>(a.x.values.size());
    const int height = static_cast<int>(a.y.values.size());
    double lo = INFINITY, hi = -INFINITY;
    std::array<std::int64_t, kPointClassCount> counts {};
    for (std::size_t k = 0; k < kinds_.size(); ++k) {
        ++counts[static_cast<std::size_t>(kinds_[k])];
        if (kinds_[k] == PointClass::TuringUnstable) {
            lo = std::min(lo, wavelengths_[k]);
            hi = std::max(hi, wavelengths_[k]);
        }
    }
    const QImage points = pointsImage(width, height, [&](std::size_t k) {
        return kinds_[k] == PointClass::TuringUnstable
            ? turingShade(hi > lo ? (wavelengths_[k] - lo) / (hi - lo) : 0.5)
            : classColour(kinds_[k]);
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
    const bool inside = drawStartUp(p, plot, xs, ys, a);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    drawAxis(p, plot, xs, false, false, axisTitle(a, a.x));
    drawAxis(p, plot, ys, true, false, axisTitle(a, a.y));

    drawTitles(p, kPlot + kLegend, "Linear stability of the uniform states: " + gridText(a),
        QString("%1 \u00D7 %2 points; each takes the first class in the legend's order that "
                "applies to any of its states, saddles aside")
            .arg(width)
            .arg(height));

    // The legend: every class in its order with its share of the map.
    const double lx = plot.right() + 40;
    double y = plot.top();
    p.setFont(font(18, true));
    p.drawText(QRectF(lx, y, kLegend, 26), Qt::AlignLeft | Qt::AlignVCenter, "Class of the point");
    y += 34;
    const double total = std::max<double>(1.0, double(kinds_.size()));
    for (int c = 0; c < kPointClassCount; ++c) {
        const auto kind = static_cast<PointClass>(c);
        y = legendRow(p, lx, y, classColour(kind),
            QString("%1  %2 %")
                .arg(kind == PointClass::NoState ? noStateLabel(a) : classLabel(kind))
                .arg(100.0 * counts[std::size_t(c)] / total, 0, 'f', 1));
    }
    y += 14;
    p.setFont(font(16));
    p.drawEllipse(QPointF(lx + 13, y + 13), 9, 9);
    p.drawText(QRectF(lx + 36, y, kLegend - 40, 52), Qt::AlignLeft | Qt::TextWordWrap,
        startUpText(a, inside));
    y += 80;
    // What the classes are, for a reader of the continuum literature.
    constexpr double kNote = 100;
    p.setFont(font(15));
    p.drawText(QRectF(lx, plot.bottom() - kNote, kLegend - 40, kNote),
        Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
        "Classes of the uniform states' linear stability under the simulator's step (forward "
        "Euler, dt = 1), whose Hopf line is its own, not the continuum's. Patterns also grow "
        "where a point is bistable or stable: atlas --simulate shows them.");
    p.setFont(font(16));
    if (hi >= lo)
        colourBar(
            p, QRectF(lx, y + 34, 26, std::min(260.0, plot.bottom() - kNote - y - 60)), lo,
            std::max(hi, lo), [&](double f) { return turingShade(f); },
            "predicted wavelength (cells)");
    return img;
}

} // namespace rd::pictures
