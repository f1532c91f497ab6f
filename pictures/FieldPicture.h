// Field pictures for papers and talks: a colour table, a chosen value range, whole-pixel
// zoom, and an optional colour bar and caption drawn beside and under the field.
#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QCoreApplication;
class QGuiApplication;

namespace rd::pictures {

enum class Colormap : std::int8_t { Gray, Viridis, Magma, Inferno, Cividis };

std::optional<Colormap> colormapByName(std::string_view name);
std::string colormapNamesText(); // "gray, viridis, ... or cividis"
// Entry `level` (0 to 255) of a table, as an opaque pixel.
QRgb colormapEntry(Colormap map, int level);

struct PictureStyle {
    Colormap colormap = Colormap::Gray;
    bool autoRange = false; // the field's own finite min..max
    std::optional<std::pair<float, float>> range; // --range LO:HI; neither: the panel's range
    int zoom = 1;
    char species = 'u'; // the species of a 2D picture
    bool colorbar = false;
    bool annotate = false;
    // The window's own picture: grey, the panel's range, one pixel a cell, nothing added.
    bool plain() const;
    bool needsText() const { return colorbar || annotate; }
};

// How values become levels: level = grayLevel(u - lo, scale), as the window's grey mapping
// with the panel's range (lo 0, scale 255 / uMax).
struct LevelScale {
    float lo = 0.0f;
    float scale = 0.0f;
    // An auto range over a flat field (analysis::flatness: a contrast within the rounding of
    // its values): every cell at level 0, the colour bar saying so rather than stretching
    // rounding over the whole table.
    bool flat = false;
    double hi() const; // the value shown at level 255
};
// `panelScale` is the panel's 255 / uMax (or / vMax). An auto range over a flat field (lo its
// least value) or no finite cell maps every cell to level 0.
LevelScale levelScale(const PictureStyle& style, std::span<const float> cells, float panelScale);

// width x height cells (row-major) at style.zoom pixels a cell, through the style's table.
// A null image when it cannot be made.
QImage colourField(std::span<const float> cells, int width, int height, const LevelScale& scale,
    Colormap map, int zoom);

// The values the colour bar of `scale` marks along `barPixels` rows, with text lines of
// `linePixels`: round values (niceStep, as the plots and maps) from lo to hi, at most 6 and
// at least a line apart, two or more where there is room; the one value lo for a flat scale
// (and for a flat field, whose one label says so).
std::vector<double> colourBarTicks(const LevelScale& scale, int barPixels, int linePixels);

// The largest picture the tool makes of a field, a line or a run's time: 2^28 pixels (16384 x
// 16384, 1 GiB as it is held) and 1,000,000 pixels a side (PNG's own limit), colour bar and
// caption included. A larger one is refused before a run rather than failing after it.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t { 1 } << 28;
inline constexpr std::int64_t kMaxPictureSide = 1'000'000;

struct PictureSize {
    std::int64_t width = 0, height = 0;
    std::int64_t pixels() const { return width * height; }
    // Within kMaxPicturePixels and kMaxPictureSide (and `side`, a movie format's own).
    bool fits(std::int64_t side = kMaxPictureSide) const;
};

// At least the size of decorate()'s picture of a field of fieldWidth x fieldHeight pixels
// (already zoomed), whatever its labels: each counted at its widest.
PictureSize decoratedSize(
    std::int64_t fieldWidth, std::int64_t fieldHeight, const PictureStyle& style);

// The field with the colour bar to its right and the caption under it, as the style asks.
// Needs a QGuiApplication when it draws text (see offscreenApplication).
QImage decorate(const QImage& field, const PictureStyle& style, const LevelScale& scale,
    const std::string& caption);

// The picture of a run's field by the style (plain: exactly the window's grey picture).
QImage fieldPicture(std::span<const float> cells, int width, int height, float panelScale,
    const PictureStyle& style, const std::string& caption);

// Every row of `image` repeated and every pixel widened to zoom x zoom pixels.
QImage zoomed(const QImage& image, int zoom);

// Text needs a font database: an off-screen application when there is none yet (null when
// one exists already). Qt's start-up remarks are not shown.
std::unique_ptr<QGuiApplication> offscreenApplication();

// Any program whose threads draw, encode or write pictures or movies makes Qt's application
// on its main thread before they start and keeps it until they have ended: the off-screen one
// where the pictures carry text, else a plain QCoreApplication (which, unlike the other,
// leaves no runtime folder in the temporary folder); null when one exists already. Qt takes
// the first thread that makes one of its objects (encodePicture's buffer, a movie's files)
// for its main thread and moves the image plug-ins it loads there; when that thread is a
// worker, it ends while those live on, and at exit they are torn down from another thread
// with the ended thread's data: heap corruption ("corrupted double-linked list").
std::unique_ptr<QCoreApplication> pictureApplication(bool text);

// The picture encoded in memory in the format its file name's extension names (PNG or BMP).
// Throws std::bad_alloc. Called on several threads, it needs pictureApplication() first.
std::vector<std::byte> encodePicture(const QImage& image, const std::string& name);

} // namespace rd::pictures
