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
    double hi() const; // the value shown at level 255
};
// `panelScale` is the panel's 255 / uMax (or / vMax). An auto range over a flat field or no
// finite cell maps every cell to level 0.
LevelScale levelScale(const PictureStyle& style, std::span<const float> cells, float panelScale);

// width x height cells (row-major) at style.zoom pixels a cell, through the style's table.
// A null image when it cannot be made.
QImage colourField(std::span<const float> cells, int width, int height, const LevelScale& scale,
    Colormap map, int zoom);

// The values the colour bar of `scale` marks along `barPixels` rows, with text lines of
// `linePixels`: round values (niceStep, as the plots and maps) from lo to hi, at most 6 and
// at least a line apart, two or more where there is room; the one value lo for a flat scale.
std::vector<double> colourBarTicks(const LevelScale& scale, int barPixels, int linePixels);

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

// The picture encoded in memory in the format its file name's extension names (PNG or BMP).
// Throws std::bad_alloc.
std::vector<std::byte> encodePicture(const QImage& image, const std::string& name);

} // namespace rd::pictures
