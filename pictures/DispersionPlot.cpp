// The dispersion plot: growth rate per step against the mode's wavenumber |k|, the grid's
// modes as dots over the along-axis curve, the unstable band shaded.
#include "pictures/DispersionPlot.h"

#include "analysis/FeaturedState.h"
#include "pictures/NiceStep.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace rd::pictures {

namespace {

using namespace rd::analysis;

constexpr int kWidth = 1200, kPlotHeight = 760;
constexpr int kLeft = 130, kRight = 40, kTop = 80, kBottom = 100;
// Under the plot, a line for every uniform state.
constexpr int kStateLine = 26, kStatesGap = 12;

// |k| along a grid axis whose eigenvalue is lambda (lambda >= -4).
double axisWavenumber(double lambda, int n)
{
    return 2.0 * (n - 1) / std::numbers::pi * std::asin(std::sqrt(std::min(-lambda, 4.0) / 4.0));
}

double rate(const Linearisation& lin, double lambda)
{
    return std::log(lin.growth(lambda).rho);
}

} // namespace

QStringList stateLines(const Analysis& a, int shown)
{
    const FeaturedStates featured = featuredStates(a.predictions);
    if (featured.count == 0)
        return {};
    const bool saddles = std::any_of(a.predictions.begin(), a.predictions.end(),
        [](const Prediction& q) { return isSaddle(q.state); });
    const Prediction& first = a.predictions[static_cast<std::size_t>(featured.first())];
    QStringList lines { QString("Uniform states (the point is %1%2):")
                            .arg(featured.kind == PointClass::Bistable ? "bistable"
                                                                       : className(first.kind))
                            .arg(saddles ? ", saddles aside" : "") };
    for (std::size_t i = 0; i < a.predictions.size(); ++i) {
        const Prediction& p = a.predictions[i];
        QString line = QString("state %1: u* = %2, v* = %3, %4")
                           .arg(i + 1)
                           .arg(p.state.u, 0, 'g', 6)
                           .arg(p.state.v, 0, 'g', 6)
                           .arg(className(p.kind));
        if (p.state.fold)
            line += " (a fold)";
        else if (isSaddle(p.state))
            line += " (a saddle)";
        if (int(i) == shown)
            line += ": plotted";
        else if (featured.contains(int(i)))
            line += ": also gives the point its class";
        lines << line;
    }
    return lines;
}

QImage dispersionPlot(const Analysis& a, const ModeTable& table, int state)
{
    const int lines = static_cast<int>(a.predictions.size()) + 1;
    const int height = kPlotHeight + (state >= 0 ? kStatesGap + kStateLine * lines : 0);
    QImage img(kWidth, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font("Liberation Sans");
    font.setPixelSize(18);
    p.setFont(font);
    const Scheme& s = a.scheme;
    const int n = table.n();
    const QRectF frame(kLeft, kTop, kWidth - kLeft - kRight, kPlotHeight - kTop - kBottom);
    if (state < 0) {
        p.drawText(frame, Qt::AlignCenter, "No uniform steady state with u >= 0 and v >= 0");
        return img;
    }
    const Prediction& pr = a.predictions[static_cast<std::size_t>(state)];
    const Linearisation lin(s, pr.state.jacobian);

    // Ranges: the whole grid, or a few band widths when modes grow, so that the band shows.
    const double kFull = s.oneD ? n - 1 : (n - 1) * std::sqrt(2.0);
    double kMax = kFull;
    const Band* band = nullptr;
    for (const Band& b : pr.bands)
        if (b.lambdaLow < 0.0) {
            band = &b;
            break;
        }
    if (band && band->lambdaLow >= -4.0)
        kMax = std::min(kFull, std::max(2.5 * axisWavenumber(band->lambdaLow, n), 8.0));
    double lo = INFINITY, hi = -INFINITY;
    for (const GridMode& m : table.modes())
        if (std::hypot(m.kx, m.ky) <= kMax) {
            lo = std::min(lo, rate(lin, m.lambda));
            hi = std::max(hi, rate(lin, m.lambda));
        }
    if (hi > 0.0) {
        lo = std::min(std::max(lo, -2.5 * hi), 0.0);
        hi *= 1.25;
    } else {
        const double pad = 0.1 * std::max(hi - lo, 1e-12);
        lo -= pad;
        hi += pad;
    }
    const auto X = [&](double k) { return frame.left() + frame.width() * k / kMax; };
    const auto Y = [&](double r) { return frame.bottom() - frame.height() * (r - lo) / (hi - lo); };

    p.setClipRect(frame);
    if (band)
        p.fillRect(QRectF(QPointF(X(axisWavenumber(band->lambdaHigh, n)), frame.top()),
                       QPointF(band->lambdaLow >= -4.0 ? X(axisWavenumber(band->lambdaLow, n))
                                                       : frame.right(),
                           frame.bottom())),
            QColor(255, 215, 200));
    // Grid lines and zero.
    p.setPen(QPen(QColor(225, 225, 225), 1));
    const double ky = niceStep(hi - lo, 6), kx = niceStep(kMax, 8);
    for (double y = std::ceil(lo / ky) * ky; y <= hi; y += ky)
        p.drawLine(QPointF(frame.left(), Y(y)), QPointF(frame.right(), Y(y)));
    for (double x = 0; x <= kMax; x += kx)
        p.drawLine(QPointF(X(x), frame.top()), QPointF(X(x), frame.bottom()));
    if (lo < 0.0 && hi > 0.0) {
        p.setPen(QPen(Qt::black, 1.5, Qt::DashLine));
        p.drawLine(QPointF(frame.left(), Y(0)), QPointF(frame.right(), Y(0)));
    }
    // The along-axis curve, then every grid mode.
    QPainterPath curve;
    const double kCurve = std::min(kMax, double(n - 1));
    for (int i = 0; i <= 800; ++i) {
        const double k = kCurve * i / 800.0;
        const double sn = std::sin(std::numbers::pi * k / (2.0 * (n - 1)));
        const QPointF pt(X(k), Y(rate(lin, -4.0 * sn * sn)));
        i == 0 ? curve.moveTo(pt) : curve.lineTo(pt);
    }
    p.setPen(QPen(QColor(40, 90, 170), 2.5));
    p.drawPath(curve);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    const double dot = s.oneD ? 3.5 : 2.2;
    for (const GridMode& m : table.modes())
        p.drawEllipse(QPointF(X(std::hypot(m.kx, m.ky)), Y(rate(lin, m.lambda))), dot, dot);
    const ModeGrowth& f = pr.extremes.fastest;
    const QPointF fastest(X(pr.wavenumber), Y(std::log(f.growth.rho)));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 30, 30), 2.5));
    p.drawEllipse(fastest, 9, 9);
    p.setClipping(false);

    // Frame, ticks, labels.
    p.setPen(QPen(Qt::black, 1.5));
    p.drawRect(frame);
    const QFontMetricsF fm(font);
    for (double y = std::ceil(lo / ky) * ky; y <= hi; y += ky) {
        const QString t = QString::number(std::abs(y) < ky * 1e-6 ? 0.0 : y, 'g', 4);
        p.drawLine(QPointF(frame.left() - 6, Y(y)), QPointF(frame.left(), Y(y)));
        p.drawText(
            QRectF(0, Y(y) - 12, frame.left() - 10, 24), Qt::AlignRight | Qt::AlignVCenter, t);
    }
    for (double x = 0; x <= kMax; x += kx) {
        p.drawLine(QPointF(X(x), frame.bottom()), QPointF(X(x), frame.bottom() + 6));
        p.drawText(QRectF(X(x) - 50, frame.bottom() + 8, 100, 24), Qt::AlignHCenter | Qt::AlignTop,
            QString::number(x, 'g', 4));
    }
    p.drawText(QRectF(frame.left(), kPlotHeight - 56, frame.width(), 28), Qt::AlignHCenter,
        QString("wavenumber |k| of the grid mode (wavelength = %1 / |k| cells)").arg(2 * (n - 1)));
    p.save();
    p.translate(26, frame.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-frame.height() / 2, -14, frame.height(), 28), Qt::AlignHCenter,
        "growth rate per step, ln \u03C1");
    p.restore();

    QFont titleFont = font;
    titleFont.setPixelSize(22);
    titleFont.setBold(true);
    p.setFont(titleFont);
    const QString title = QString("%1, %2, N = %3: u* = %4, v* = %5 (%6)")
                              .arg(QString::fromStdString(analysis::modelDisplayName(s)))
                              .arg(s.oneD ? "1D" : "2D")
                              .arg(n)
                              .arg(pr.state.u, 0, 'g', 5)
                              .arg(pr.state.v, 0, 'g', 5)
                              .arg(className(pr.kind));
    p.drawText(QRectF(kLeft, 10, frame.width(), 32), Qt::AlignLeft, title);
    p.setFont(font);
    QString sub = f.growth.rho > 1.0 && pr.wavenumber > 0.0
        ? QString("fastest mode (red ring): |k| = %1, wavelength %2 cells, e-folding time %3 steps")
              .arg(pr.wavenumber, 0, 'g', 4)
              .arg(pr.wavelength, 0, 'g', 4)
              .arg(pr.eFoldingSteps, 0, 'g', 4)
        : QString("largest growth factor per step: %1").arg(f.growth.rho, 0, 'g', 9);
    if (band)
        sub += QString(";  shaded: unstable band");
    p.drawText(QRectF(kLeft, 44, frame.width(), 28), Qt::AlignLeft, sub);

    // Every state with its class, and the point's class by the maps' rule; the same words go
    // into the PNG's text, where a program can read them.
    const QStringList states = stateLines(a, state);
    double y = kPlotHeight + kStatesGap;
    for (qsizetype i = 0; i < states.size(); ++i, y += kStateLine)
        p.drawText(QRectF(kLeft + (i > 0 ? 24 : 0), y, frame.width() - 24, kStateLine),
            Qt::AlignLeft, states[i]);
    img.setText("Title", title);
    img.setText("Description", states.join('\n'));
    return img;
}

} // namespace rd::pictures
