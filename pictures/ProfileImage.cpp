#include "pictures/ProfileImage.h"

#include "display/FieldImage.h"
#include "display/PixelRules.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>

namespace rd::pictures {

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

Kymograph::Kymograph(int nCells, float grayScale, std::int64_t rows, const PictureStyle& style)
    : nCells_(nCells)
    , grayScale_(grayScale)
    , style_(style)
    , scale_(levelScale(style, {}, grayScale))
{
    const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(nCells);
    if (style.autoRange)
        values_.reserve(cells);
    else
        levels_.reserve(cells);
}

void Kymograph::addRow(std::span<const float> u)
{
    if (style_.autoRange)
        values_.insert(values_.end(), u.begin(), u.begin() + nCells_);
    else
        for (int i = 0; i < nCells_; ++i)
            levels_.push_back(static_cast<std::uint8_t>(
                rd::grayLevel(u[static_cast<std::size_t>(i)] - scale_.lo, scale_.scale)));
    ++rows_;
}

QImage Kymograph::image(const std::string& caption) const
{
    QImage img;
    if (style_.autoRange) {
        img = fieldPicture(values_, nCells_, rows_, grayScale_, style_, caption);
    } else {
        QImage cells(nCells_, rows_, QImage::Format_RGB32);
        if (!cells.isNull()) {
            QRgb lut[256];
            for (int k = 0; k < 256; ++k)
                lut[k] = colormapEntry(style_.colormap, k);
            for (int r = 0; r < rows_; ++r) {
                auto* row = reinterpret_cast<QRgb*>(cells.scanLine(r));
                for (int i = 0; i < nCells_; ++i)
                    row[i] = lut[levels_[static_cast<std::size_t>(r) * nCells_ + i]];
            }
            img = decorate(zoomed(cells, style_.zoom), style_, scale_, caption);
        }
    }
    if (img.isNull() && rows_ > 0)
        throw std::bad_alloc();
    return img;
}

} // namespace rd::pictures
