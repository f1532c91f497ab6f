#include "display/PictureBox.h"

#include "display/PixelRules.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

int buttonBits(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= PictureBox::kLeftButton;
    if (buttons & Qt::RightButton)
        bits |= PictureBox::kRightButton;
    if (buttons & Qt::MiddleButton)
        bits |= PictureBox::kMiddleButton;
    return bits;
}

int shiftBits(Qt::KeyboardModifiers modifiers)
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= PictureBox::kShift;
    if (modifiers & Qt::ControlModifier)
        bits |= PictureBox::kCtrl;
    if (modifiers & Qt::AltModifier)
        bits |= PictureBox::kAlt;
    return bits;
}

} // namespace

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent)
{
    // Everything is painted from the image; no background erase, so no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PictureBox::setBackColor(const QColor& colour)
{
    back_ = colour;
    clear();
}

void PictureBox::setBorder(bool on)
{
    border_ = on;
    syncImage();
    update();
}

int PictureBox::innerWidth() const
{
    return std::max(0, width() - 2 * borderWidth());
}
int PictureBox::innerHeight() const
{
    return std::max(0, height() - 2 * borderWidth());
}

void PictureBox::setScale(float left, float top, float right, float bottom)
{
    userScale_ = true;
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
}

void PictureBox::setPixelScale()
{
    userScale_ = false;
}

float PictureBox::scaleLeft() const
{
    return userScale_ ? left_ : 0.0f;
}
float PictureBox::scaleTop() const
{
    return userScale_ ? top_ : 0.0f;
}
float PictureBox::scaleRight() const
{
    return userScale_ ? right_ : static_cast<float>(innerWidth());
}
float PictureBox::scaleBottom() const
{
    return userScale_ ? bottom_ : static_cast<float>(innerHeight());
}

std::optional<std::int64_t> PictureBox::pixelX(float x) const
{
    return userScale_ ? rd::pixels::fromScale(x, left_, right_, innerWidth())
                      : rd::pixels::round(x);
}

std::optional<std::int64_t> PictureBox::pixelY(float y) const
{
    return userScale_ ? rd::pixels::fromScale(y, top_, bottom_, innerHeight())
                      : rd::pixels::round(y);
}

float PictureBox::userX(int innerPx) const
{
    if (!userScale_ || innerWidth() == 0)
        return static_cast<float>(innerPx);
    const double l = left_;
    return static_cast<float>(l + innerPx * (double(right_) - l) / innerWidth());
}

float PictureBox::userY(int innerPy) const
{
    if (!userScale_ || innerHeight() == 0)
        return static_cast<float>(innerPy);
    const double t = top_;
    return static_cast<float>(t + innerPy * (double(bottom_) - t) / innerHeight());
}

const QImage& PictureBox::image() const
{
    syncImage();
    return image_;
}

void PictureBox::syncImage() const
{
    const QSize want(innerWidth(), innerHeight());
    if (image_.size() == want && !image_.isNull())
        return;
    QImage grown(want, QImage::Format_RGB32);
    grown.fill(back_);
    if (!image_.isNull()) {
        const int w = std::min(image_.width(), want.width());
        const int h = std::min(image_.height(), want.height());
        for (int y = 0; y < h; ++y)
            std::copy_n(reinterpret_cast<const QRgb*>(image_.constScanLine(y)), w,
                reinterpret_cast<QRgb*>(grown.scanLine(y)));
    }
    image_ = std::move(grown);
}

void PictureBox::damage(const QRect& imageRect)
{
    const QRect r = imageRect & QRect(QPoint(0, 0), image_.size());
    if (r.isEmpty())
        return;
    // One growing rectangle keeps the pending update region simple however many single
    // pixels a caller sets before the next paint.
    damaged_ |= r;
    update(damaged_.translated(borderWidth(), borderWidth()));
}

void PictureBox::clear()
{
    syncImage();
    image_.fill(back_);
    damage(image_.rect());
}

void PictureBox::setImagePixel(std::int64_t px, std::int64_t py, QRgb rgb)
{
    if (px < 0 || py < 0 || px >= image_.width() || py >= image_.height())
        return;
    reinterpret_cast<QRgb*>(image_.scanLine(int(py)))[px] = rgb;
}

void PictureBox::pset(float x, float y, const QColor& colour)
{
    syncImage();
    const auto px = pixelX(x);
    const auto py = pixelY(y);
    if (!px || !py)
        return;
    setImagePixel(*px, *py, colour.rgb());
    if (*px >= 0 && *py >= 0 && *px < image_.width() && *py < image_.height())
        damage(QRect(int(*px), int(*py), 1, 1));
}

void PictureBox::pixelLine(
    std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, QRgb rgb)
{
    const rd::pixels::Box drawn = rd::pixels::line(x0, y0, x1, y1, image_.width(), image_.height(),
        [&](std::int64_t x, std::int64_t y) { setImagePixel(x, y, rgb); });
    if (!drawn.empty())
        damage(QRect(int(drawn.minX), int(drawn.minY), int(drawn.maxX - drawn.minX + 1),
            int(drawn.maxY - drawn.minY + 1)));
}

void PictureBox::line(float x1, float y1, float x2, float y2, const QColor& colour)
{
    syncImage();
    const auto px1 = pixelX(x1), py1 = pixelY(y1), px2 = pixelX(x2), py2 = pixelY(y2);
    if (!px1 || !py1 || !px2 || !py2)
        return;
    pixelLine(*px1, *py1, *px2, *py2, colour.rgb());
}

void PictureBox::arc(
    float cx, float cy, float r, float startAngle, float endAngle, const QColor& colour)
{
    syncImage();
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || !std::isfinite(startAngle)
        || !std::isfinite(endAngle))
        return;
    // Work in pixels with a true circle; the radius follows the horizontal scale.
    const double unitsPerPixel
        = userScale_ ? std::abs((double(right_) - double(left_)) / std::max(1, innerWidth())) : 1.0;
    const double rPx = std::abs(double(r)) / unitsPerPixel;
    const double cxPx
        = userScale_ ? (double(cx) - left_) * innerWidth() / (double(right_) - left_) : double(cx);
    const double cyPx
        = userScale_ ? (double(cy) - top_) * innerHeight() / (double(bottom_) - top_) : double(cy);
    double sweep = double(endAngle) - double(startAngle);
    constexpr double twoPi = 2.0 * std::numbers::pi;
    if (sweep < 0.0)
        sweep = std::fmod(sweep, twoPi) + twoPi;
    // Sample finely enough that neighbouring samples are at most half a pixel apart, then
    // join them with lines that leave out their end points, so the chain is one pixel wide;
    // the last sample is set on its own, so an arc always ends on its end point and one
    // whose samples share a pixel still draws it: arcs that meet end to start join up.
    const double maxStep = 0.5 / std::max(rPx, 0.5);
    const auto n = static_cast<std::int64_t>(std::ceil(std::min(sweep / maxStep, 1.0e6)));
    auto sample = [&](std::int64_t k) {
        const double t
            = double(startAngle) + sweep * double(k) / double(std::max<std::int64_t>(n, 1));
        return std::pair { rd::pixels::round(cxPx + rPx * std::cos(t)),
            rd::pixels::round(cyPx - rPx * std::sin(t)) };
    };
    auto prev = sample(0);
    for (std::int64_t k = 1; k <= n; ++k) {
        const auto next = sample(k);
        if (!prev.first || !prev.second || !next.first || !next.second)
            return;
        if (next != prev)
            pixelLine(*prev.first, *prev.second, *next.first, *next.second, colour.rgb());
        prev = next;
    }
    if (!prev.first || !prev.second)
        return;
    setImagePixel(*prev.first, *prev.second, colour.rgb());
    damage(QRect(int(*prev.first), int(*prev.second), 1, 1));
}

QRgb PictureBox::point(int px, int py) const
{
    syncImage();
    if (px < 0 || py < 0 || px >= image_.width() || py >= image_.height())
        return qRgb(0, 0, 0);
    return reinterpret_cast<const QRgb*>(image_.constScanLine(py))[px] | 0xff000000u;
}

void PictureBox::blit(const QImage& source)
{
    syncImage();
    const QImage src = source.format() == QImage::Format_RGB32
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(src.width(), image_.width());
    const int h = std::min(src.height(), image_.height());
    for (int y = 0; y < h; ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(src.constScanLine(y)), w,
            reinterpret_cast<QRgb*>(image_.scanLine(y)));
    damage(QRect(0, 0, w, h));
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    syncImage();
    QPainter p(this);
    const int b = borderWidth();
    const QRect inner(b, b, image_.width(), image_.height());
    const QRect want = event->rect() & inner;
    if (!want.isEmpty())
        p.drawImage(want.topLeft(), image_, want.translated(-b, -b));
    if (border_) {
        // The classic sunken frame: shadow and dark shadow top-left, light and highlight
        // bottom-right.
        const int w = width(), h = height();
        auto edge = [&](int inset, QColor topLeft, QColor bottomRight) {
            p.setPen(topLeft);
            p.drawLine(inset, inset, w - 1 - inset, inset);
            p.drawLine(inset, inset, inset, h - 1 - inset);
            p.setPen(bottomRight);
            p.drawLine(inset, h - 1 - inset, w - 1 - inset, h - 1 - inset);
            p.drawLine(w - 1 - inset, inset, w - 1 - inset, h - 1 - inset);
        };
        edge(0, QColor(128, 128, 128), QColor(255, 255, 255));
        edge(1, QColor(0, 0, 0), QColor(212, 208, 200));
    }
    damaged_ = QRect();
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    syncImage();
    QWidget::resizeEvent(event);
}

void PictureBox::emitMouse(
    void (PictureBox::*signal)(int, int, float, float), int button, QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int b = borderWidth();
    (this->*signal)(button, shiftBits(event->modifiers()), userX(pos.x() - b), userY(pos.y() - b));
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    emitMouse(&PictureBox::mouseDown, buttonBits(event->button()), event);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    emitMouse(&PictureBox::mouseMove, buttonBits(event->buttons()), event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    emitMouse(&PictureBox::mouseUp, buttonBits(event->button()), event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
