#include "ProfileImage.h"

#include "FieldImage.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace rd::batch {

namespace {

// The window's profile box maps a user coordinate to a pixel with these exact operations:
// in double, (v - top) * height / (bottom - top), clamped far outside, rounded half to even.
std::optional<std::int64_t> pixelRow(float y, float top, int height)
{
    const double t = top;
    double v = (double(y) - t) * height / (0.0 - t);
    if (!std::isfinite(v))
        return std::nullopt;
    constexpr double kFarAway = 1 << 24;
    v = std::clamp(v, -kFarAway, kFarAway);
    return static_cast<std::int64_t>(std::nearbyint(v));
}

std::optional<std::int64_t> pixelColumn(float x, int nCells, int width)
{
    const double v = double(x) * width / double(nCells);
    if (!std::isfinite(v))
        return std::nullopt;
    return static_cast<std::int64_t>(std::nearbyint(v));
}

// A vertical one-pixel line from row y0 towards y1, the end row left out, clipped.
void verticalLine(QImage& img, std::int64_t x, std::int64_t y0, std::int64_t y1, QRgb rgb)
{
    if (x < 0 || x >= img.width() || y0 == y1)
        return;
    const std::int64_t last = y1 > y0 ? y1 - 1 : y1 + 1;
    const std::int64_t a = std::max<std::int64_t>(std::min(y0, last), 0);
    const std::int64_t b = std::min<std::int64_t>(std::max(y0, last), img.height() - 1);
    for (std::int64_t y = a; y <= b; ++y)
        reinterpret_cast<QRgb*>(img.scanLine(int(y)))[x] = rgb;
}

void setPixel(QImage& img, std::int64_t x, std::optional<std::int64_t> y, QRgb rgb)
{
    if (!y || x < 0 || *y < 0 || x >= img.width() || *y >= img.height())
        return;
    reinterpret_cast<QRgb*>(img.scanLine(int(*y)))[x] = rgb;
}

} // namespace

QImage renderProfile(std::span<const float> cells, float range, QColor colour)
{
    const int n = static_cast<int>(cells.size());
    QImage img(n, kProfileHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QRgb white = QColor(Qt::white).rgb(), bar = colour.rgb();
    const auto zero = pixelRow(0.0f, range, kProfileHeight);
    const auto top = pixelRow(range, range, kProfileHeight);
    for (int i = 0; i < n; ++i) {
        const auto x = pixelColumn(static_cast<float>(i), n, n);
        if (!x)
            continue;
        // The white stroke and its end point: the column over the whole range.
        if (zero && top)
            verticalLine(img, *x, *zero, *top, white);
        setPixel(img, *x, top, white);
        if (const auto y = pixelRow(cells[static_cast<std::size_t>(i)], range, kProfileHeight);
            zero && y)
            verticalLine(img, *x, *zero, *y, bar);
    }
    return img;
}

Kymograph::Kymograph(int nCells, float grayScale)
    : nCells_(nCells)
    , grayScale_(grayScale)
{ }

void Kymograph::addRow(std::span<const float> u)
{
    for (int i = 0; i < nCells_; ++i)
        levels_.push_back(
            static_cast<std::uint8_t>(rd::grayLevel(u[static_cast<std::size_t>(i)], grayScale_)));
    ++rows_;
}

QImage Kymograph::image() const
{
    QImage img(nCells_, rows_, QImage::Format_RGB32);
    for (int r = 0; r < rows_; ++r) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(r));
        for (int i = 0; i < nCells_; ++i) {
            const int g = levels_[static_cast<std::size_t>(r) * nCells_ + i];
            row[i] = qRgb(g, g, g);
        }
    }
    return img;
}

} // namespace rd::batch
