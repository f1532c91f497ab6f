#include "pictures/MapFrame.h"

#include "pictures/NiceStep.h"
#include "runs/Names.h"
#include "runs/Run.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace rd::pictures::map {

QString number(double v, int digits)
{
    if (std::abs(v) >= 1e4 && std::abs(v) < 1e7 && v == std::round(v))
        return QString::number(static_cast<long>(v));
    return QString::number(v, 'g', digits);
}

QFont font(int pixels, bool bold)
{
    QFont f("Liberation Sans");
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

double AxisScale::ofIndex(double t) const
{
    const double cell = length / static_cast<double>(axis->values.size());
    const double offset = (t + 0.5) * cell;
    return reversed ? start + length - offset : start + offset;
}

double AxisScale::ofValue(double v) const
{
    const auto& vs = axis->values;
    if (vs.size() < 2)
        return ofIndex(v == vs.front() ? 0.0 : (v < vs.front() ? -1.0 : 1.0));
    return ofIndex((v - vs.front()) / ((vs.back() - vs.front()) / double(vs.size() - 1)));
}

void drawAxis(QPainter& p, const QRectF& plot, const AxisScale& scale, bool vertical,
    bool everyValue, const QString& title)
{
    p.setFont(font(16));
    const QFontMetricsF fm(p.font());
    const auto& vs = scale.axis->values;
    std::vector<std::pair<double, QString>> ticks; // position, label
    if (everyValue || vs.size() < 2) {
        // Labels at the cells' centres, every k-th so that they do not touch.
        double widest = 0;
        for (double v : vs)
            widest = std::max(widest, vertical ? fm.height() : fm.horizontalAdvance(number(v)));
        const double cell = scale.length / double(vs.size());
        const std::size_t every
            = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil((widest + 8) / cell)));
        for (std::size_t k = 0; k < vs.size(); k += every)
            ticks.emplace_back(scale.ofIndex(double(k)), number(vs[k]));
    } else {
        const double lo = std::min(vs.front(), vs.back()), hi = std::max(vs.front(), vs.back());
        const double half = (hi - lo) / double(vs.size() - 1) / 2.0;
        for (const double v : roundTicks(lo - half, hi + half, niceStep(hi - lo + 2 * half, 6)))
            ticks.emplace_back(scale.ofValue(v), number(v));
    }
    p.setPen(QPen(Qt::black, 1.5));
    for (const auto& [at, label] : ticks) {
        if (vertical) {
            p.drawLine(QPointF(plot.left() - 7, at), QPointF(plot.left(), at));
            p.drawText(
                QRectF(0, at - 12, plot.left() - 11, 24), Qt::AlignRight | Qt::AlignVCenter, label);
        } else {
            p.drawLine(QPointF(at, plot.bottom()), QPointF(at, plot.bottom() + 7));
            p.drawText(QRectF(at - 60, plot.bottom() + 9, 120, 22), Qt::AlignHCenter | Qt::AlignTop,
                label);
        }
    }
    p.setFont(font(19));
    if (vertical) {
        p.save();
        p.translate(plot.left() - 100, plot.center().y());
        p.rotate(-90);
        p.drawText(QRectF(-plot.height() / 2, -16, plot.height(), 32), Qt::AlignCenter, title);
        p.restore();
    } else {
        p.drawText(
            QRectF(plot.left(), plot.bottom() + 38, plot.width(), 30), Qt::AlignHCenter, title);
    }
}

QString axisTitle(const runs::MapDescription& a, const runs::MapAxis& axis)
{
    const std::string meaning = runs::settingMeaning(a.base.model, axis.name);
    return QString::fromStdString(
        meaning.empty() || meaning == axis.name ? axis.name : axis.name + ": " + meaning);
}

QString gridText(const runs::MapDescription& a)
{
    const runs::Prepared start = runs::prepare(a.base, false);
    const int n = start.state.nCells;
    return QString("%1, %2, %3 cells")
        .arg(QString::fromStdString(runs::modelDisplayName(a.base.model)))
        .arg(a.base.oneD ? "1D" : "2D")
        .arg(a.base.oneD ? QString::number(n) : QString("%1 \u00D7 %1").arg(n));
}

bool drawStartUp(QPainter& p, const QRectF& plot, const AxisScale& x, const AxisScale& y,
    const runs::MapDescription& a)
{
    const QPointF at(x.ofValue(a.x.startUp), y.ofValue(a.y.startUp));
    if (!std::isfinite(at.x()) || !std::isfinite(at.y()) || !plot.contains(at))
        return false;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 5));
    p.drawEllipse(at, 9, 9);
    p.setPen(QPen(Qt::black, 2.5));
    p.drawEllipse(at, 9, 9);
    p.drawLine(at - QPointF(3, 0), at + QPointF(3, 0));
    p.drawLine(at - QPointF(0, 3), at + QPointF(0, 3));
    return true;
}

QString startUpText(const runs::MapDescription& a, bool inside)
{
    return QString("start-up point: %1 = %2, %3 = %4%5")
        .arg(QString::fromStdString(a.x.name))
        .arg(a.x.startUp, 0, 'g', 6)
        .arg(QString::fromStdString(a.y.name))
        .arg(a.y.startUp, 0, 'g', 6)
        .arg(inside ? "" : " (outside the map)");
}

QString runsStartText(const runs::MapDescription& a, const std::string& init)
{
    const runs::InitKind kind = a.base.initial.kind;
    const bool seeded = kind == runs::InitKind::Random || kind == runs::InitKind::Seeded;
    return QString::fromStdString(
        "start: " + init + (seeded ? ", seed " + std::to_string(a.base.initial.seed) : ""));
}

QImage pointsImage(int width, int height, const std::function<QColor(std::size_t)>& colour)
{
    QImage points(width, height, QImage::Format_RGB32);
    if (points.isNull())
        return {};
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
            points.setPixel(
                i, height - 1 - j, colour(static_cast<std::size_t>(j * width + i)).rgb());
    return points;
}

QImage plotCanvas(const QImage& points)
{
    QImage img(kLeft + kPlot + kLegend, kTop + kPlot + kBottom, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(QRectF(kLeft, kTop, kPlot, kPlot), points);
    return img;
}

void drawTitles(QPainter& p, double width, const QString& title, const QString& subtitle)
{
    p.setPen(Qt::black);
    p.setFont(font(24, true));
    p.drawText(QRectF(kLeft, 18, width, 34), Qt::AlignLeft, title);
    p.setFont(font(17));
    p.drawText(QRectF(kLeft, 56, width, 28), Qt::AlignLeft, subtitle);
}

double legendRow(
    QPainter& p, double x, double y, const QColor& colour, const QString& text, bool framed)
{
    const QRectF swatch(x, y + 3, 26, 20);
    if (framed) {
        p.fillRect(swatch, QColor(235, 235, 235));
        p.setPen(QPen(colour, 5));
        p.setBrush(Qt::NoBrush);
        p.drawRect(swatch.adjusted(2.5, 2.5, -2.5, -2.5));
    } else {
        p.fillRect(swatch, colour);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(swatch);
    }
    p.setPen(Qt::black);
    p.setFont(font(16));
    p.drawText(QRectF(x + 36, y, 600, 26), Qt::AlignLeft | Qt::AlignVCenter, text);
    return y + 30;
}

void colourBarFrame(QPainter& p, const QRectF& bar, double lo, double hi, const QString& title)
{
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar);
    p.setFont(font(15));
    if (hi > lo) {
        const double step = niceStep(hi - lo, 5);
        const int digits = tickDigits(std::max(std::abs(lo), std::abs(hi)), step);
        for (const double v : roundTicks(lo, hi, step)) {
            const double at = bar.bottom() - bar.height() * (v - lo) / (hi - lo);
            p.drawLine(QPointF(bar.right(), at), QPointF(bar.right() + 6, at));
            p.drawText(QRectF(bar.right() + 9, at - 11, 120, 22), Qt::AlignLeft | Qt::AlignVCenter,
                number(v, digits));
        }
    } else {
        p.drawText(QRectF(bar.right() + 9, bar.center().y() - 11, 120, 22),
            Qt::AlignLeft | Qt::AlignVCenter, number(lo));
    }
    p.setFont(font(16));
    p.drawText(
        QRectF(bar.left(), bar.top() - 30, 400, 26), Qt::AlignLeft | Qt::AlignVCenter, title);
}

} // namespace rd::pictures::map
