#include "batch/ProfileImage.h"

#include "display/FieldImage.h"
#include "display/PixelRules.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>

namespace rd::batch {

namespace {

// Rows and columns as the window's profile boxes map them: the scale runs 0..nCells across
// and range (top) to 0 (bottom).
std::optional<std::int64_t> pixelRow(float y, float range)
{
    return pixels::fromScale(y, range, 0.0f, kProfileHeight);
}

void verticalLine(QImage& img, std::int64_t x, std::int64_t y0, std::int64_t y1, QRgb rgb)
{
    pixels::line(x, y0, x, y1, img.width(), img.height(), [&](std::int64_t px, std::int64_t py) {
        reinterpret_cast<QRgb*>(img.scanLine(int(py)))[px] = rgb;
    });
}

} // namespace

QImage renderProfile(std::span<const float> cells, float range, QColor colour)
{
    const int n = static_cast<int>(cells.size());
    QImage img(n, kProfileHeight, QImage::Format_RGB32);
    // The window erases each column to white before its bar; on a fresh white picture that
    // leaves only the bars to draw.
    img.fill(Qt::white);
    const QRgb bar = colour.rgb();
    const auto zero = pixelRow(0.0f, range);
    if (!zero)
        return img;
    for (int i = 0; i < n; ++i) {
        const auto x = pixels::fromScale(static_cast<float>(i), 0.0f, static_cast<float>(n), n);
        if (const auto y = pixelRow(cells[static_cast<std::size_t>(i)], range); x && y)
            verticalLine(img, *x, *zero, *y, bar);
    }
    return img;
}

Kymograph::Kymograph(int nCells, float grayScale, std::int64_t rows)
    : nCells_(nCells)
    , grayScale_(grayScale)
{
    levels_.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(nCells));
}

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
    if (img.isNull() && rows_ > 0)
        throw std::bad_alloc();
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
