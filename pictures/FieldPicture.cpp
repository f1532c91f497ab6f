#include "pictures/FieldPicture.h"

#include "display/FieldImage.h"
#include "pictures/ColormapTables.h"
#include "pictures/NiceStep.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace rd::pictures {

namespace {

struct ColormapName {
    std::string_view name;
    Colormap map;
};
constexpr ColormapName kColormapNames[] = {
    { "gray", Colormap::Gray },
    { "viridis", Colormap::Viridis },
    { "magma", Colormap::Magma },
    { "inferno", Colormap::Inferno },
    { "cividis", Colormap::Cividis },
};

const std::array<std::uint32_t, 256>* tableOf(Colormap map)
{
    switch (map) {
    case Colormap::Viridis:
        return &tables::kViridis;
    case Colormap::Magma:
        return &tables::kMagma;
    case Colormap::Inferno:
        return &tables::kInferno;
    case Colormap::Cividis:
        return &tables::kCividis;
    case Colormap::Gray:
        break;
    }
    return nullptr;
}

QString valueText(double v, int digits = 4)
{
    return QString::number(v, 'g', digits);
}

} // namespace

std::optional<Colormap> colormapByName(std::string_view name)
{
    for (const auto& c : kColormapNames)
        if (c.name == name)
            return c.map;
    return std::nullopt;
}

std::string colormapNamesText()
{
    std::string text;
    const std::size_t n = std::size(kColormapNames);
    for (std::size_t k = 0; k < n; ++k) {
        if (k > 0)
            text += k + 1 == n ? " or " : ", ";
        text += kColormapNames[k].name;
    }
    return text;
}

QRgb colormapEntry(Colormap map, int level)
{
    const auto* table = tableOf(map);
    return table ? 0xff000000u | (*table)[static_cast<std::size_t>(level)]
                 : qRgb(level, level, level);
}

bool PictureStyle::plain() const
{
    return colormap == Colormap::Gray && !autoRange && !range && zoom == 1 && !colorbar
        && !annotate;
}

double LevelScale::hi() const
{
    return scale > 0.0f ? double { lo } + 255.0 / double { scale } : double { lo };
}

LevelScale levelScale(const PictureStyle& style, std::span<const float> cells, float panelScale)
{
    float lo = 0.0f, hi = 0.0f;
    if (style.range) {
        std::tie(lo, hi) = *style.range;
    } else if (style.autoRange) {
        bool any = false;
        for (const float u : cells)
            if (std::isfinite(u)) {
                lo = any ? std::min(lo, u) : u;
                hi = any ? std::max(hi, u) : u;
                any = true;
            }
    } else {
        return { 0.0f, panelScale };
    }
    // In double: the span of two large floats may not fit in a float.
    const double span = double { hi } - double { lo };
    return { lo, span > 0.0 ? static_cast<float>(255.0 / span) : 0.0f };
}

QImage colourField(std::span<const float> cells, int width, int height, const LevelScale& scale,
    Colormap map, int zoom)
{
    QImage img(width, height, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    QRgb lut[256];
    for (int k = 0; k < 256; ++k)
        lut[k] = colormapEntry(map, k);
    for (int j = 0; j < height; ++j) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(j));
        const float* src = cells.data() + static_cast<std::ptrdiff_t>(j) * width;
        for (int i = 0; i < width; ++i)
            row[i] = lut[grayLevel(src[i] - scale.lo, scale.scale)];
    }
    return zoomed(img, zoom);
}

QImage zoomed(const QImage& image, int zoom)
{
    if (zoom <= 1 || image.isNull())
        return image;
    const qsizetype w = image.width(), h = image.height();
    if (w * zoom > 1 << 20 || h * zoom > 1 << 20)
        return {};
    QImage out(int(w * zoom), int(h * zoom), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    for (int j = 0; j < h; ++j) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(j));
        auto* first = reinterpret_cast<QRgb*>(out.scanLine(j * zoom));
        for (int i = 0; i < w; ++i)
            std::fill_n(first + i * zoom, zoom, src[i]);
        for (int r = 1; r < zoom; ++r)
            std::memcpy(out.scanLine(j * zoom + r), first, sizeof(QRgb) * w * zoom);
    }
    return out;
}

std::vector<double> colourBarTicks(const LevelScale& scale, int barPixels, int linePixels)
{
    const double lo = scale.lo, hi = scale.hi();
    if (!(hi > lo))
        return { lo };
    // Labels at least a line apart; two values at least where a finer step finds them (about
    // five intervals always holds two), then every k-th where they do not fit.
    const int fit = std::max(1, barPixels / std::max(linePixels, 1));
    std::vector<double> ticks;
    for (int count = std::clamp(fit - 1, 1, 5); count <= 5 && ticks.size() < 2; ++count)
        ticks = roundTicks(lo, hi, niceStep(hi - lo, count));
    const std::size_t every = (ticks.size() + static_cast<std::size_t>(fit) - 1) / fit;
    std::vector<double> shown;
    for (std::size_t k = 0; k < ticks.size(); k += std::max<std::size_t>(every, 1))
        shown.push_back(ticks[k]);
    return shown;
}

QImage decorate(const QImage& field, const PictureStyle& style, const LevelScale& scale,
    const std::string& caption)
{
    if (!style.needsText() || field.isNull())
        return field;
    const int fw = field.width(), fh = field.height();
    // Text grows with the picture, within readable bounds.
    const int px = std::clamp(std::min(fw, fh) / 22, 12, 40);
    QFont font;
    font.setPixelSize(px);
    const QFontMetrics metrics(font);
    const int margin = px / 2;
    // Round values along the bar, as the axes of a figure have them; a label centred on the
    // bar's end needs half a line above or below the field.
    std::vector<std::pair<int, QString>> ticks; // row of the bar (0 at the top), label
    int labelWidth = 0;
    if (style.colorbar) {
        const double span = scale.hi() - double { scale.lo };
        const std::vector<double> values = colourBarTicks(scale, fh, metrics.height());
        const double step = values.size() > 1 ? values[1] - values[0] : 0.0;
        const int digits
            = tickDigits(std::max(std::abs(double { scale.lo }), std::abs(scale.hi())), step);
        for (const double v : values) {
            const double fraction = span > 0.0 ? (v - double { scale.lo }) / span : 0.5;
            ticks.emplace_back(
                static_cast<int>(std::lround((fh - 1) * (1.0 - fraction))), valueText(v, digits));
            labelWidth = std::max(labelWidth, metrics.horizontalAdvance(ticks.back().second));
        }
    }
    const int top = style.colorbar ? std::max(margin, metrics.height() / 2 + 1) : margin;
    const int barWidth = style.colorbar ? px : 0;
    const int tick = px / 3;
    const int right
        = style.colorbar ? margin + barWidth + tick + margin / 2 + labelWidth + margin : 0;
    const int under = style.annotate ? metrics.height() + margin : 0;
    QImage out(margin + fw + right + margin, top + fh + under + top, QImage::Format_RGB32);
    if (out.isNull())
        return {};
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(margin, top, field);
    p.setFont(font);
    p.setPen(Qt::black);
    if (style.colorbar) {
        const int x0 = margin + fw + margin;
        // Top row 255, bottom row 0, the rows between evenly spaced.
        for (int y = 0; y < fh; ++y) {
            const int level = fh > 1 ? (255 * (fh - 1 - y) + (fh - 1) / 2) / (fh - 1) : 255;
            p.fillRect(
                x0, top + y, barWidth, 1, QColor::fromRgb(colormapEntry(style.colormap, level)));
        }
        p.drawRect(x0 - 1, top - 1, barWidth + 1, fh + 1);
        const int tx = x0 + barWidth + tick + margin / 2;
        for (const auto& [row, label] : ticks) {
            p.fillRect(x0 + barWidth, top + row, tick, 1, Qt::black);
            p.drawText(
                QRect(tx, top + row - metrics.height(), labelWidth, 2 * metrics.height() + 1),
                Qt::AlignVCenter | Qt::AlignLeft, label);
        }
    }
    if (style.annotate)
        p.drawText(QRect(margin, top + fh + margin / 2, out.width() - 2 * margin, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(caption));
    p.end();
    return out;
}

QImage fieldPicture(std::span<const float> cells, int width, int height, float panelScale,
    const PictureStyle& style, const std::string& caption)
{
    if (style.plain() && width == height)
        return renderField(cells.data(), width, panelScale);
    const LevelScale scale = levelScale(style, cells, panelScale);
    return decorate(colourField(cells, width, height, scale, style.colormap, style.zoom), style,
        scale, caption);
}

std::unique_ptr<QGuiApplication> offscreenApplication()
{
    if (QGuiApplication::instance())
        return nullptr;
    static int fakeArgc = 3;
    static char arg0[] = "rdsim-batch", arg1[] = "-platform", arg2[] = "offscreen";
    static char* fakeArgv[] = { arg0, arg1, arg2, nullptr };
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    auto app = std::make_unique<QGuiApplication>(fakeArgc, fakeArgv);
    qInstallMessageHandler(previous);
    return app;
}

// A null image or a failed encoding into memory can only come from a want of memory.
std::vector<std::byte> encodePicture(const QImage& image, const std::string& name)
{
    if (image.isNull())
        throw std::bad_alloc();
    const std::string ext = name.substr(name.rfind('.') + 1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray::fromStdString(ext).toLower());
    if (!writer.write(image))
        throw std::bad_alloc();
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return { p, p + bytes.size() };
}

} // namespace rd::pictures
