// The window's design: every control with its place in twips, text, font and colours.
#include "display/WindowLayout.h"

#include "settings/Intake.h"
#include "settings/ModelBoxes.h"

#include <QString>

namespace rd::layout {

namespace {

constexpr FontStyle kPanelTitle { "Century", 9, true, true };
// The slider captions end a few pixels before their sliders; the Gothic substitute sets
// "Intensity" wider than that gap, the Arial one within it.
constexpr FontStyle kGothicSlider { "ＭＳ Ｐゴシック", 8.25, false, false, "Arial" };
constexpr FontStyle kGothicOption { "ＭＳ Ｐゴシック", 9, true };

constexpr long long kWhite = 0xffffff, kBlack = 0x000000;

const char* const kPanelNames[4] = { "Frame1(0)", "Frame1(1)", "Frame1(2)", "Frame1(3)" };

constexpr EquationLabel kEquationLabels[] = {
    // Gierer-Meinhardt
    { 1, 0, "=", 1080, 1425, 0, 0 },
    { 2, 0, "Du =", 3000, 1800, 495, 0 },
    { 3, 0, "-", 1950, 720, 0, 0 },
    { 4, 0, "u", 2520, 690, 0, 0 },
    { 5, 0, "=", 1080, 705, 0, 0 },
    { 6, 0, "u", 1440, 1440, 0, 0 },
    { 7, 0, "2", 1680, 1320, 0, 0 },
    { 8, 0, "+", 2790, 720, 0, 0 },
    { 9, 0, "u", 825, 600, 0, 0 },
    { 10, 0, "Dv =", 3000, 2160, 495, 0 },
    { 11, 0, "v", 840, 1320, 0, 0 },
    { 12, 0, "X 10", 4080, 1800, 495, 0 },
    { 13, 0, "∂", 600, 1335, 0, 0 },
    { 14, 0, "-6", 4530, 1680, 270, 0 },
    { 15, 0, "X 10", 4080, 2160, 495, 0 },
    { 16, 0, "∂", 600, 870, 0, 0 },
    { 17, 0, "∂", 600, 1590, 0, 0 },
    { 18, 0, "t", 840, 840, 0, 0 },
    { 19, 0, "t", 855, 1560, 0, 0 },
    { 20, 0, "-6", 4560, 2040, 255, 0 },
    { 21, 0, "∂", 600, 615, 0, 0 },
    { 30, 0, "-", 1830, 1440, 0, 0 },
    { 31, 0, "v", 2040, 1440, 0, 0 },
    { 33, 0, "scaling factor =", 600, 2040, 1335, 285 },
    { 84, 0, "u", 3600, 600, 0, 0 },
    { 85, 0, "2", 3840, 480, 0, 0 },
    { 86, 0, "v", 3000, 960, 0, 0 },
    { 87, 0, "(1+", 3240, 960, 0, 0 },
    { 88, 0, "u", 4080, 960, 0, 0 },
    { 89, 0, "2", 4320, 840, 0, 0 },
    { 90, 0, ")", 4440, 960, 0, 0 },
    // Schnakenberg
    { 22, 1, "X 10", 4080, 2160, 495, 0 },
    { 23, 1, "-6", 4530, 1680, 270, 0 },
    { 24, 1, "X 10", 4080, 1800, 495, 0 },
    { 25, 1, "Dv =", 3000, 2160, 495, 0 },
    { 26, 1, "Du =", 3000, 1800, 495, 0 },
    { 27, 1, "scaling factor =", 600, 2040, 1335, 285 },
    { 28, 1, "v", 2880, 1320, 0, 0 },
    { 29, 1, "-", 2400, 1320, 0, 0 },
    { 32, 1, "2", 2760, 1200, 0, 0 },
    { 34, 1, "u", 2520, 1320, 0, 0 },
    { 35, 1, "-6", 4560, 2040, 255, 0 },
    { 39, 1, "v", 2880, 720, 0, 0 },
    { 40, 1, "2", 2760, 600, 0, 0 },
    { 41, 1, "u", 2520, 720, 0, 0 },
    { 42, 1, "+", 2400, 720, 0, 0 },
    { 43, 1, "u", 2160, 720, 0, 0 },
    { 44, 1, "-", 2040, 720, 0, 0 },
    { 45, 1, "t", 855, 1440, 0, 0 },
    { 46, 1, "∂", 600, 1470, 0, 0 },
    { 47, 1, "∂", 600, 1215, 0, 0 },
    { 48, 1, "v", 840, 1200, 0, 0 },
    { 49, 1, "=", 1080, 1305, 0, 0 },
    { 50, 1, "t", 840, 840, 0, 0 },
    { 51, 1, "∂", 600, 870, 0, 0 },
    { 52, 1, "u", 825, 600, 0, 0 },
    { 53, 1, "=", 1080, 705, 0, 0 },
    { 54, 1, "∂", 600, 615, 0, 0 },
    // Gray-Scott
    { 36, 2, "∂", 600, 615, 0, 0 },
    { 37, 2, "=", 1080, 705, 0, 0 },
    { 38, 2, "u", 825, 600, 0, 0 },
    { 55, 2, "∂", 600, 870, 0, 0 },
    { 56, 2, "t", 840, 840, 0, 0 },
    { 57, 2, "=", 1080, 1305, 0, 0 },
    { 58, 2, "v", 840, 1200, 0, 0 },
    { 59, 2, "∂", 600, 1215, 0, 0 },
    { 60, 2, "∂", 600, 1470, 0, 0 },
    { 61, 2, "t", 855, 1440, 0, 0 },
    { 62, 2, "-(", 1410, 720, 0, 0 },
    { 63, 2, "F", 1320, 1320, 615, 0 },
    { 64, 2, ") u +", 3045, 720, 0, 0 },
    { 65, 2, "u", 3600, 720, 0, 0 },
    { 66, 2, "2", 3840, 600, 0, 0 },
    { 67, 2, "v", 3960, 720, 0, 0 },
    { 68, 2, "u", 2520, 1320, 0, 0 },
    { 69, 2, "2", 2760, 1200, 0, 0 },
    { 70, 2, "v", 2880, 1320, 0, 0 },
    { 71, 2, "scaling factor =", 600, 2040, 1335, 285 },
    { 72, 2, "Du =", 3000, 1800, 495, 0 },
    { 73, 2, "Dv =", 3000, 2160, 495, 0 },
    { 74, 2, "X 10", 4080, 1800, 495, 0 },
    { 75, 2, "-6", 4530, 1680, 270, 0 },
    { 76, 2, "X 10", 4080, 2160, 495, 0 },
    { 77, 2, "-6", 4560, 2040, 255, 0 },
    { 78, 2, "(1-v)", 1920, 1320, 0, 0 },
    { 79, 2, "+", 2280, 720, 0, 0 },
    { 80, 2, "-", 2400, 1320, 0, 0 },
    // Oregonator
    { 81, 3, "X 10", 4080, 2160, 495, 0 },
    { 82, 3, "-6", 4530, 1680, 270, 0 },
    { 83, 3, "X 10", 4080, 1800, 495, 0 },
    { 91, 3, "Dv =", 3000, 2160, 495, 0 },
    { 92, 3, "Du =", 3000, 1800, 495, 0 },
    { 93, 3, "scaling factor =", 600, 2040, 1335, 285 },
    { 94, 3, "v", 1920, 1440, 0, 0 },
    { 95, 3, "-", 1680, 1440, 0, 0 },
    { 96, 3, "-6", 4560, 2040, 255, 0 },
    { 97, 3, "u", 1440, 1440, 0, 0 },
    { 98, 3, "v", 3480, 720, 0, 0 },
    { 99, 3, "[", 2070, 720, 0, 0 },
    { 100, 3, "u", 3600, 960, 0, 0 },
    { 101, 3, "+", 3840, 960, 0, 0 },
    { 102, 3, "8e-4", 3960, 960, 495, 0 },
    { 103, 3, "-", 3840, 600, 0, 0 },
    { 104, 3, "u", 3600, 600, 0, 0 },
    { 105, 3, "-", 2790, 720, 0, 0 },
    { 106, 3, "u(1-u)", 2160, 720, 0, 0 },
    { 107, 3, "]", 4680, 720, 0, 0 },
    { 108, 3, "t", 855, 1560, 0, 0 },
    { 109, 3, "∂", 600, 1590, 0, 0 },
    { 110, 3, "∂", 600, 1335, 0, 0 },
    { 111, 3, "v", 840, 1320, 0, 0 },
    { 112, 3, "=", 1080, 1425, 0, 0 },
    { 113, 3, "t", 840, 840, 0, 0 },
    { 114, 3, "∂", 600, 870, 0, 0 },
    { 115, 3, "u", 825, 600, 0, 0 },
    { 116, 3, "=", 1080, 705, 0, 0 },
    { 117, 3, "∂", 600, 615, 0, 0 },
    { 118, 3, "1", 1560, 600, 0, 0 },
};

// A panel box starts with the settings' own text, so the window and the batch tool agree.
std::string_view startText(Model model, int slot)
{
    for (const BoxInfo& box : modelInfo(model).boxes)
        if (box.slot == slot)
            return box.defaultText;
    return {};
}

// The constants' boxes standing inside the equations: index, left, top, width.
struct EquationBox {
    int index, left, top, width;
};
constexpr EquationBox kEquationBoxes[] = {
    { 5, 1440, 720, 495 },
    { 6, 2040, 720, 495 },
    { 7, 3600, 960, 495 },
    { 15, 1440, 720, 495 },
    { 16, 1440, 1320, 495 },
    { 25, 1680, 720, 615 },
    { 26, 2400, 720, 615 },
    { 35, 1440, 960, 495 },
    { 36, 3000, 720, 375 },
    { 37, 3960, 600, 495 },
};

// Fraction bars and the rules under the time derivatives: name, index, panel, x1, x2, y.
// The rules of the du/dt fractions carry the indices 0, 3, 4 and 7, which no other rule uses.
struct RuleDesign {
    const char* name;
    int index, panel, x1, x2, y;
};
constexpr RuleDesign kRules[] = {
    { "Line1", 0, 0, 600, 1010, 825 },
    { "Line1", 1, 0, 600, 1010, 1545 },
    { "Line3", 0, 0, 3000, 4560, 840 },
    { "Line1", 3, 1, 600, 1010, 825 },
    { "Line1", 2, 1, 600, 1010, 1425 },
    { "Line1", 4, 2, 600, 1010, 825 },
    { "Line1", 5, 2, 600, 1010, 1425 },
    { "Line1", 7, 3, 600, 1010, 825 },
    { "Line1", 6, 3, 600, 1010, 1545 },
    { "Line1", 8, 3, 1440, 1920, 840 },
    { "Line3", 1, 3, 3600, 4560, 840 },
};

std::vector<ControlDesign> makeControls()
{
    std::vector<ControlDesign> c = {
        // The window's client area.
        { .name = "Frame3",
            .kind = Kind::Frame,
            .left = 360,
            .top = 240,
            .width = 1935,
            .height = 1695,
            .visible = false },
        { .name = "Frame1",
            .index = 0,
            .kind = Kind::Frame,
            .text = "Gierer-Meinhardt",
            .left = 120,
            .top = 2760,
            .width = 7815,
            .height = 2535,
            .font = kPanelTitle },
        { .name = "Frame1",
            .index = 1,
            .kind = Kind::Frame,
            .text = "Schnakenberg",
            .left = 120,
            .top = 2760,
            .width = 7815,
            .height = 2535,
            .font = kPanelTitle },
        { .name = "Frame1",
            .index = 2,
            .kind = Kind::Frame,
            .text = "Gray-Scott",
            .left = 120,
            .top = 2760,
            .width = 7815,
            .height = 2535,
            .font = kPanelTitle },
        { .name = "Frame1",
            .index = 3,
            .kind = Kind::Frame,
            .text = "Oregonator",
            .left = 120,
            .top = 2760,
            .width = 7815,
            .height = 2535,
            .font = kPanelTitle },
        { .name = "Frame2",
            .kind = Kind::Frame,
            .left = 360,
            .top = 1920,
            .width = 1935,
            .height = 615,
            .font = kPanelTitle },
        { .name = "Picture2",
            .kind = Kind::PictureBox,
            .left = 2835,
            .top = 1650,
            .width = 1980,
            .height = 990,
            .back = kWhite },
        { .name = "Picture1",
            .kind = Kind::PictureBox,
            .left = 2835,
            .top = 660,
            .width = 1980,
            .height = 990,
            .back = kWhite },
        { .name = "Text3",
            .kind = Kind::TextBox,
            .text = kDefaultSizeText,
            .left = 4200,
            .top = 240,
            .width = 375,
            .height = 270 },
        { .name = "Text2",
            .kind = Kind::TextBox,
            .text = kDefaultItersText,
            .left = 5520,
            .top = 720,
            .width = 495,
            .height = 270 },
        { .name = "Clear",
            .kind = Kind::Button,
            .text = "Clear",
            .left = 6480,
            .top = 2040,
            .width = 1215,
            .height = 495,
            .font = { "Arial", 12, true } },
        { .name = "Random",
            .kind = Kind::Button,
            .text = "Random",
            .left = 5280,
            .top = 2040,
            .width = 1215,
            .height = 495,
            .font = { "Arial", 12, true } },
        { .name = "Run",
            .kind = Kind::Button,
            .text = "Start",
            .left = 5280,
            .top = 1200,
            .width = 2415,
            .height = 855,
            .font = { "Arial Black", 24 } },
        { .name = "Picture3",
            .kind = Kind::PictureBox,
            .left = 2835,
            .top = 660,
            .width = 1980,
            .height = 1980,
            .back = kBlack,
            .visible = false },
        { .name = "Label5",
            .kind = Kind::Label,
            .text = "Iteration",
            .left = 6720,
            .top = 240,
            .width = 975,
            .height = 255,
            .font = { "Arial", 9.75 },
            .align = Align::Centre },
        { .name = "Label4",
            .kind = Kind::Label,
            .text = "Field Size =",
            .left = 2880,
            .top = 240,
            .width = 1335,
            .height = 255,
            .font = { "Arial", 9 },
            .align = Align::Centre },
        { .name = "Label3",
            .kind = Kind::Label,
            .text = "Iteration / Image",
            .left = 6120,
            .top = 720,
            .width = 1575,
            .height = 255,
            .font = { "Arial", 9.75 },
            .align = Align::Centre },
        { .name = "Label2",
            .kind = Kind::Label,
            .text = "0",
            .left = 5520,
            .top = 240,
            .width = 1215,
            .height = 255,
            .font = { "Arial", 9.75, true },
            .align = Align::Right },
        { .name = "Line2", .kind = Kind::Rule, .left = 0, .top = 0, .width = 8040 },

        // The brush frame.
        { .name = "Picture6",
            .index = 1,
            .kind = Kind::PictureBox,
            .container = "Frame3",
            .left = 840,
            .top = 600,
            .width = 255,
            .height = 250,
            .back = 0x000080 },
        { .name = "Picture6",
            .index = 0,
            .kind = Kind::PictureBox,
            .container = "Frame3",
            .left = 840,
            .top = 360,
            .width = 255,
            .height = 250,
            .back = 0xff0000 },
        { .name = "Picture5",
            .kind = Kind::PictureBox,
            .container = "Frame3",
            .left = 1320,
            .top = 415,
            .width = 375,
            .height = 375,
            .border = false },
        { .name = "Spiral",
            .kind = Kind::Button,
            .container = "Frame3",
            .left = 240,
            .top = 360,
            .width = 495,
            .height = 495 },
        { .name = "Slider2",
            .kind = Kind::Slider,
            .container = "Frame3",
            .left = 840,
            .top = 1320,
            .width = 975,
            .height = 255 },
        { .name = "Slider1",
            .kind = Kind::Slider,
            .container = "Frame3",
            .left = 840,
            .top = 1080,
            .width = 975,
            .height = 255 },
        { .name = "Label8",
            .index = 1,
            .kind = Kind::Label,
            .container = "Frame3",
            .text = "Intensity",
            .left = 195,
            .top = 1320,
            .font = kGothicSlider },
        { .name = "Label8",
            .index = 0,
            .kind = Kind::Label,
            .container = "Frame3",
            .text = "Radius",
            .left = 195,
            .top = 1080,
            .font = kGothicSlider },

        // The dimension frame.
        { .name = "Option1",
            .index = 0,
            .kind = Kind::Option,
            .container = "Frame2",
            .text = "1D",
            .left = 240,
            .top = 240,
            .width = 735,
            .height = 255,
            .font = kGothicOption,
            .checked = true },
        { .name = "Option1",
            .index = 1,
            .kind = Kind::Option,
            .container = "Frame2",
            .text = "2D",
            .left = 1080,
            .top = 240,
            .width = 735,
            .height = 255,
            .font = kGothicOption },
    };

    // The model panels: boxes first, then the plot box, the rules (above the labels they
    // touch, so no label background cuts a fraction bar) and the labels.
    for (int p = 0; p < 4; ++p) {
        const char* panel = kPanelNames[p];
        const auto box = [&](int k, int left, int top, int width) {
            c.push_back({ .name = "Text1",
                .index = 10 * p + k,
                .kind = Kind::TextBox,
                .container = panel,
                .text = startText(static_cast<Model>(p), k),
                .left = left,
                .top = top,
                .width = width,
                .height = 270 });
        };
        box(1, 5280, 360, 375); // upper end of the vertical axis
        box(0, 7080, 2160, 375); // right end of the horizontal axis
        box(2, 1920, 2040, 495); // scaling factor
        box(3, 3600, 1800, 375); // Du
        box(4, 3600, 2160, 375); // Dv
        for (const auto& b : kEquationBoxes)
            if (b.index / 10 == p)
                box(b.index % 10, b.left, b.top, b.width);
        c.push_back({ .name = "Picture4x",
            .index = p,
            .kind = Kind::PictureBox,
            .container = panel,
            .left = 5640,
            .top = 360,
            .width = 1815,
            .height = 1815 });
        for (const auto& r : kRules)
            if (r.panel == p)
                c.push_back({ .name = r.name,
                    .index = r.index,
                    .kind = Kind::Rule,
                    .container = panel,
                    .left = r.x1,
                    .top = r.y,
                    .width = r.x2 - r.x1 });
        for (const auto& l : kEquationLabels)
            if (l.panel == p)
                c.push_back({ .name = "Label1",
                    .index = l.index,
                    .kind = Kind::Label,
                    .container = panel,
                    .text = l.caption,
                    .left = l.left,
                    .top = l.top,
                    .width = l.width,
                    .height = l.height,
                    .font = equationFont(l.caption) });
    }
    return c;
}

} // namespace

std::span<const EquationLabel> equationLabels()
{
    return kEquationLabels;
}

FontStyle equationFont(const QString& caption)
{
    struct Style {
        const char* caption;
        FontStyle font;
    };
    static constexpr Style kStyles[] = {
        { "∂", { "ＭＳ Ｐゴシック", 9, false, true } },
        { "t", { "Times New Roman", 9, false, true } },
        { "2", { "Arial", 8.25 } },
        { "-6", { "Arial", 8.25 } },
        { "=", { "Arial", 9.75 } },
        { "-", { "ＭＳ Ｐゴシック", 9.75 } },
        { "+", { "ＭＳ Ｐゴシック", 9.75 } },
        { "-(", { "ＭＳ Ｐゴシック", 9.75 } },
        { ") u +", { "ＭＳ Ｐゴシック", 9.75 } },
        { "X 10", { "ＭＳ Ｐゴシック", 9 } },
        { "[", { "Arial", 12 } },
        { "]", { "Arial", 12 } },
    };
    for (const auto& s : kStyles)
        if (caption == QString::fromUtf8(s.caption))
            return s.font;
    // Letters, "Du =", "scaling factor =", the copied constants and the rest.
    return { "Arial", 9 };
}

const std::vector<ControlDesign>& controls()
{
    static const std::vector<ControlDesign> table = makeControls();
    return table;
}

} // namespace rd::layout
