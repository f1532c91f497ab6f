#include "tst_Painting.h"

#include "EditingSupport.h"
#include "Integrators.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <cmath>

using namespace edit;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 255, 0);

std::int64_t at(const frmMain& w, int i, int j)
{
    return i + std::int64_t { j } * w.state.nCells;
}

void press(frmMain& w, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mousePress(w.Picture3, b, {}, cell(i, j));
}
void move(frmMain& w, int i, int j)
{
    QTest::mouseMove(w.Picture3, cell(i, j));
}
void release(frmMain& w, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mouseRelease(w.Picture3, b, {}, cell(i, j));
}

// The cells of set A holding exactly the default activator brush value (uMax 3, a 255).
std::set<std::int64_t> paintedU(const frmMain& w)
{
    return indicesEqual(w.state.uA, std::int64_t { w.state.nCells } * w.state.nCells, 3.0f);
}

std::set<std::int64_t> asCells(const frmMain& w, const std::set<std::pair<int, int>>& pixels)
{
    std::set<std::int64_t> out;
    for (auto [x, y] : pixels)
        out.insert(at(w, x, y));
    return out;
}

// The pixels the spiral's 400 arcs colour on a box like the field image, drawn with the
// picture box's own arc operation on a fresh white box.
std::set<std::pair<int, int>> spiralPixels(int nCells)
{
    PictureBox box;
    box.resize(nCells + 4, nCells + 4);
    box.clear();
    const double last = nCells - 1;
    for (int i = 0; i < 400; ++i)
        box.arc(static_cast<float>(last * 0.5), static_cast<float>(last * 0.4),
            static_cast<float>(i * 0.00125 * last), static_cast<float>(i * 0.0157),
            static_cast<float>((i + 1) * 0.0157), QColor(0, 255, 0));
    return pixelsOf(box.image(), kGreen);
}

} // namespace

void TestPainting::discInTheMiddle()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QCOMPARE(w->Slider1->value(), 7);
    QCOMPARE(w->Slider2->value(), 255);
    press(*w, 64, 64);
    release(*w, 64, 64);
    const auto cells = paintedU(*w);
    QCOMPARE(cells.size(), std::size_t { 149 });
    QVERIFY(cells.count(at(*w, 71, 64)));
    QVERIFY(cells.count(at(*w, 64, 57)));
    QVERIFY(!cells.count(at(*w, 69, 69)));
    QVERIFY(!cells.count(at(*w, 72, 64)));
    // Marked in red at once, on exactly the painted cells.
    QCOMPARE(asCells(*w, pixelsOf(w->Picture3->image(), kRed)), cells);
    QCOMPARE(w->state.mouseDown, rd::kFalse);
}

void TestPainting::discAtTheCorner()
{
    auto w = shownWindow();
    switchTo2D(*w);
    press(*w, 0, 0);
    release(*w, 0, 0);
    const auto cells = paintedU(*w);
    QCOMPARE(cells.size(), std::size_t { 45 });
    for (auto idx : cells) {
        const auto i = idx % 128, j = idx / 128;
        QVERIFY(i * i + j * j <= 49);
    }
}

void TestPainting::dragPastTheRightEdge()
{
    auto w = shownWindow();
    switchTo2D(*w);
    // The press paints zeros; radius and intensity are read afresh on every event.
    w->Slider2->setValue(0);
    press(*w, 64, 64);
    QVERIFY(paintedU(*w).empty());
    w->Slider2->setValue(255);
    move(*w, 127 + 3, 64);
    release(*w, 127 + 3, 64);
    const auto cells = paintedU(*w);
    QCOMPARE(cells.size(), std::size_t { 41 });
    for (auto idx : cells)
        QVERIFY(idx % 128 >= 123);
    QCOMPARE(pixelsOf(w->Picture3->image(), kRed).size(), std::size_t { 41 });
    // The press's black marks stay too: the picture is not re-rendered.
    QCOMPARE(w->Picture3->point(64, 64), qRgb(0, 0, 0));
    QCOMPARE(w->state.uA.size(), std::size_t { 128 * 128 + 1 });

    // A disc wholly outside paints nothing.
    move(*w, 200, 64);
    press(*w, 127 + 8, 64);
    release(*w, 127 + 8, 64);
    QCOMPARE(paintedU(*w).size(), std::size_t { 41 });
}

void TestPainting::radiusZeroAndIntensityZero()
{
    auto w = shownWindow();
    switchTo2D(*w);
    w->Slider1->setValue(0);
    press(*w, 10, 20);
    release(*w, 10, 20);
    QCOMPARE(paintedU(*w), (std::set<std::int64_t> { at(*w, 10, 20) }));
    QCOMPARE(pixelsOf(w->Picture3->image(), kRed).size(), std::size_t { 1 });

    // Intensity 0 on a random field: the disc becomes 0 and its marks black.
    QTest::mouseClick(w->Random, Qt::LeftButton);
    const auto vBefore = w->state.vA;
    w->Slider1->setValue(7);
    w->Slider2->setValue(0);
    press(*w, 64, 64);
    release(*w, 64, 64);
    const auto zeros = indicesEqual(w->state.uA, 128 * 128, 0.0f);
    QCOMPARE(zeros.size(), std::size_t { 149 });
    for (auto idx : zeros)
        QCOMPARE(bits(w->state.uB[static_cast<std::size_t>(idx)]), bits(0.0f));
    QCOMPARE(asCells(*w, pixelsOf(w->Picture3->image(), qRgb(0, 0, 0))), zeros);
    QCOMPARE(w->state.vA, vBefore);
}

void TestPainting::bothBufferSetsAndOnlyTheTargetSpecies()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    // Set B holds values of its own, so that a write to it shows.
    for (auto& x : w->state.uB)
        x = 0.25f;
    for (auto& x : w->state.vB)
        x = 0.75f;
    const rd::SimState before = w->state;
    press(*w, 40, 30);
    release(*w, 40, 30);
    const auto a = paintedU(*w);
    QCOMPARE(a.size(), std::size_t { 149 });
    QCOMPARE(indicesEqual(w->state.uB, 128 * 128, 3.0f), a);
    for (std::size_t k = 0; k < before.uA.size(); ++k) {
        if (!a.count(static_cast<std::int64_t>(k))) {
            QCOMPARE(bits(w->state.uA[k]), bits(before.uA[k]));
            QCOMPARE(bits(w->state.uB[k]), bits(before.uB[k]));
        }
    }
    QCOMPARE(w->state.vA, before.vA);
    QCOMPARE(w->state.vB, before.vB);
    QCOMPARE(w->state.phaseA, before.phaseA);
}

void TestPainting::inhibitorValueIsExactOnPressAndMove()
{
    auto w = shownWindow();
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    typeInto(w->Text1[1], QStringLiteral("2"));
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    QCOMPARE(w->state.vMax, 2.0f);
    QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(w->state.paintU, rd::kFalse);
    w->Slider2->setValue(51);
    press(*w, 20, 20);
    const float expected = 0.4f;
    QCOMPARE(bits(w->state.vA[at(*w, 20, 20)]), bits(expected));
    QCOMPARE(bits(w->state.vB[at(*w, 20, 20)]), bits(expected));
    move(*w, 90, 90);
    release(*w, 90, 90);
    QCOMPARE(bits(w->state.vA[at(*w, 90, 90)]), bits(expected));
    QCOMPARE(bits(w->state.vB[at(*w, 93, 90)]), bits(expected));
    QCOMPARE(indicesEqual(w->state.vA, 128 * 128, expected).size(), std::size_t { 2 * 149 });
    QCOMPARE(pixelsOf(w->Picture3->image(), qRgb(0, 0, 51)).size(), std::size_t { 2 * 149 });
    QCOMPARE(indicesEqual(w->state.uA, 128 * 128, 0.0f).size(), std::size_t { 128 * 128 });
}

void TestPainting::otherButtonsAndReleases()
{
    auto w = shownWindow();
    switchTo2D(*w);
    press(*w, 64, 64, Qt::RightButton);
    QCOMPARE(w->state.mouseDown, rd::kFalse);
    move(*w, 70, 64);
    release(*w, 70, 64, Qt::RightButton);
    QVERIFY(paintedU(*w).empty());

    // A second press while the button is held paints nothing more.
    press(*w, 20, 20);
    QCOMPARE(w->state.mouseDown, rd::kTrue);
    QTest::mousePress(w->Picture3, Qt::MiddleButton, {}, cell(100, 100));
    QCOMPARE(paintedU(*w).size(), std::size_t { 149 });
    // Releasing another button ends the stroke: the move after it paints nothing.
    QTest::mouseRelease(w->Picture3, Qt::MiddleButton, {}, cell(100, 100));
    QCOMPARE(w->state.mouseDown, rd::kFalse);
    move(*w, 100, 20);
    QCOMPARE(paintedU(*w).size(), std::size_t { 149 });
    release(*w, 100, 20);
    QCOMPARE(paintedU(*w).size(), std::size_t { 149 });
}

void TestPainting::paintingDuringARunBetweenTwoSteps()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    rd::SimState afterPaint;
    int paintedAt = 0, stoppedAt = 0;
    bool bothSets = false;
    const bool finished = driveRun(*w, [&](int c) {
        if (paintedAt == 0 && c >= 4) {
            press(*w, 64, 64);
            release(*w, 64, 64);
            paintedAt = c;
            afterPaint = w->state;
            bothSets = paintedU(*w).size() == 149
                && indicesEqual(w->state.uB, 128 * 128, 3.0f).size() == 149;
            return false;
        }
        if (paintedAt != 0 && c > paintedAt) {
            stoppedAt = c;
            return true;
        }
        return false;
    });
    QVERIFY(finished);
    QVERIFY(bothSets);
    QVERIFY(stoppedAt > paintedAt);
    QCOMPARE(w->Run->text(), QStringLiteral("Start"));
    // The steps after the stroke started from the painted values in either set: the same
    // number of steps from the state right after the stroke gives the same field.
    for (int n = paintedAt; n < stoppedAt; ++n) {
        if (afterPaint.phaseA)
            rd::Step2DFromA(afterPaint, rd::Model::GiererMeinhardt);
        else
            rd::Step2DFromB(afterPaint, rd::Model::GiererMeinhardt);
    }
    QCOMPARE(w->state.uA, afterPaint.uA);
    QCOMPARE(w->state.vA, afterPaint.vA);
    QCOMPARE(w->state.uB, afterPaint.uB);
    QCOMPARE(w->state.vB, afterPaint.vB);
}

void TestPainting::spiralRadiusZeroPaintsTheGreenPixels()
{
    auto w = shownWindow();
    switchTo2D(*w);
    w->Slider1->setValue(0);
    QTest::mouseClick(w->Spiral, Qt::LeftButton);
    const auto green = spiralPixels(128);
    QVERIFY(green.size() > 200);
    // Centred at (63.5, 50.8); the outer end reaches the last columns.
    int maxX = 0;
    for (auto [x, y] : green)
        maxX = std::max(maxX, x);
    QVERIFY(maxX >= 125);
    QCOMPARE(paintedU(*w), asCells(*w, green));
    QCOMPARE(pixelsOf(w->Picture3->image(), kRed), green);
    QVERIFY(pixelsOf(w->Picture3->image(), kGreen).empty());
}

void TestPainting::spiralBandAtRadiusSeven()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    const auto vA = w->state.vA, vB = w->state.vB;
    QTest::mouseClick(w->Spiral, Qt::LeftButton);
    const auto band = paintedU(*w);
    QCOMPARE(indicesEqual(w->state.uB, 128 * 128, 3.0f), band);
    QCOMPARE(asCells(*w, pixelsOf(w->Picture3->image(), kRed)), band);
    QVERIFY(pixelsOf(w->Picture3->image(), kGreen).empty());
    // Every spiral pixel is inside the band, and every band cell within the radius of one.
    const auto green = spiralPixels(128);
    for (auto [x, y] : green)
        QVERIFY(band.count(at(*w, x, y)));
    for (auto idx : band) {
        const int i = static_cast<int>(idx % 128), j = static_cast<int>(idx / 128);
        bool near = false;
        for (auto [x, y] : green)
            near = near || (x - i) * (x - i) + (y - j) * (y - j) <= 49;
        QVERIFY(near);
    }
    QVERIFY(band.size() > 2 * green.size());
    QCOMPARE(w->state.vA, vA);
    QCOMPARE(w->state.vB, vB);
}

void TestPainting::spiralSecondClickPaintsTheSameCells()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Spiral, Qt::LeftButton);
    const auto first = paintedU(*w);
    QVERIFY(!first.empty());
    // The second arcs lie over the first marks; another intensity shows what it paints.
    w->Slider2->setValue(128);
    QTest::mouseClick(w->Spiral, Qt::LeftButton);
    const float value = static_cast<float>(3.0 * 128 / 255.0);
    QCOMPARE(indicesEqual(w->state.uA, 128 * 128, value), first);
    QCOMPARE(indicesEqual(w->state.uB, 128 * 128, value), first);
    QCOMPARE(asCells(*w, pixelsOf(w->Picture3->image(), qRgb(128, 0, 0))), first);
}

void TestPainting::spiralTargetV()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
    w->Slider2->setValue(100);
    QTest::mouseClick(w->Spiral, Qt::LeftButton);
    const float value = static_cast<float>(3.0 * 100 / 255.0);
    const auto band = indicesEqual(w->state.vA, 128 * 128, value);
    QVERIFY(band.size() > 500);
    QCOMPARE(indicesEqual(w->state.vB, 128 * 128, value), band);
    QCOMPARE(asCells(*w, pixelsOf(w->Picture3->image(), qRgb(0, 0, 100))), band);
    QCOMPARE(indicesEqual(w->state.uA, 128 * 128, 0.0f).size(), std::size_t { 128 * 128 });
    QCOMPARE(indicesEqual(w->state.uB, 128 * 128, 0.0f).size(), std::size_t { 128 * 128 });
}
