// The main window's controls as data: name, index, kind, container, text, place in twips,
// font, colours, alignment and visibility. build() turns the tables into widgets.
#pragma once

#include <QHash>
#include <QRgb>
#include <QString>

#include <span>
#include <string_view>
#include <vector>

class QWidget;

namespace rd::layout {

enum class Kind { Frame, Label, TextBox, Button, PictureBox, Option, Slider, Rule };
enum class Align { Left, Centre, Right };

struct FontStyle {
    const char* family = nullptr; // nullptr: the window's default font
    double points = 0.0;
    bool bold = false;
    bool italic = false;
    // A designed face to use instead where `family` itself is not installed, for controls
    // whose designed place leaves no room for the general substitute's wider text.
    const char* standIn = nullptr;
};

// Background colour meaning "the system grey" (the colour of buttons and scroll bars).
inline constexpr long long kSystemGrey = -1;

struct ControlDesign {
    const char* name;
    int index = -1; // -1: not an element of a control array
    Kind kind = Kind::Label;
    const char* container = nullptr; // nullptr: the window's client area
    std::string_view text = ""; // UTF-8
    // Twips relative to the container. A rule runs from (left, top) to (left + width, top).
    // A label of width or height 0 is sized to its text in that direction.
    int left = 0, top = 0, width = 0, height = 0;
    FontStyle font {};
    long long back = kSystemGrey; // 0xRRGGBB or kSystemGrey
    bool border = true; // picture boxes only
    Align align = Align::Left;
    bool visible = true;
    bool checked = false; // option buttons only
};

// One element of the Label1 array spelling out a panel's equations.
struct EquationLabel {
    int index;
    int panel; // Frame1 index
    const char* caption;
    int left, top;
    int width = 0, height = 0; // 0: sized to the text
};

inline constexpr int kTwipsPerPixel = 15;
int twipsToPixels(int twips);

std::span<const EquationLabel> equationLabels();
// The font of an equation label follows from what it shows.
FontStyle equationFont(const QString& caption);

// Every control in creation order: each container before what it holds, and within one
// container in design order (earlier entries lie above later ones).
const std::vector<ControlDesign>& controls();

// "Name" or "Name(index)".
QString key(const char* name, int index = -1);

// Creates every control inside the window's client area and returns them by key.
QHash<QString, QWidget*> build(QWidget* client);

} // namespace rd::layout
