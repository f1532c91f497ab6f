#include "GuiTestSupport.h"
#include "Integrators.h"
#include "Kinetics.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace gt;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

void press(frmMain& w, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mousePress(w.Picture3, b, {}, cell(i, j));
}
void release(frmMain& w, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mouseRelease(w.Picture3, b, {}, cell(i, j));
}
void stroke(frmMain& w, int i, int j)
{
    press(w, i, j);
    release(w, i, j);
}

// Cells of a 128 x 128 field with exactly this value in a, as flat indices.
std::set<std::int64_t> cellsAt(const std::vector<float>& a, float value)
{
    return indicesEqual(a, 128 * 128, value);
}

// The cells of set A holding the default activator brush value (uMax 3, intensity 255).
std::set<std::int64_t> paintedU(const frmMain& w)
{
    return cellsAt(w.state.uA, 3.0f);
}

std::set<std::int64_t> asCells(const Pixels& pixels)
{
    std::set<std::int64_t> out;
    for (auto [x, y] : pixels)
        out.insert(x + 128 * y);
    return out;
}

// The pixels the spiral's 400 arcs colour, drawn with the picture box's own arc on a fresh box.
Pixels spiralPixels()
{
    PictureBox box;
    box.resize(132, 132);
    const double last = 127;
    for (int i = 0; i < 400; ++i)
        box.arc(float(last * 0.5), float(last * 0.4), float(i * 0.00125 * last), float(i * 0.0157),
            float((i + 1) * 0.0157), QColor(kGreen));
    return pixelsOf(box.image(), kGreen);
}

} // namespace

// Brush discs on the field image and the spiral.
class TestPainting : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        w = shownWindow();
        switchTo2D(*w);
    }
    void cleanup() { w.reset(); }

    void discs()
    {
        // Radius 7 in the middle and at the corner, radius 0.
        for (auto [radius, at, count] : { std::tuple { 7, QPoint(64, 64), 149 },
                 { 7, QPoint(0, 0), 45 }, { 0, QPoint(10, 20), 1 } }) {
            w->state.uB.assign(w->state.uB.size(), 0.0f); // Clear empties set A only
            click(w->Clear);
            w->Slider1->setValue(radius);
            stroke(*w, at.x(), at.y());
            const auto cells = paintedU(*w);
            QCOMPARE(int(cells.size()), count);
            for (auto k : cells) {
                const int di = int(k % 128) - at.x(), dj = int(k / 128) - at.y();
                QVERIFY(di * di + dj * dj <= radius * radius);
            }
            QCOMPARE(cellsAt(w->state.uB, 3.0f), cells); // both sets
            // Marked in red at once, on exactly the painted cells.
            QCOMPARE(asCells(pixelsOf(w->Picture3->image(), kRed)), cells);
            QCOMPARE(w->state.mouseDown, rd::kFalse);
        }
    }

    void dragPastTheRightEdge()
    {
        // The press paints zeros; radius and intensity are read afresh on every event.
        w->Slider2->setValue(0);
        press(*w, 64, 64);
        QVERIFY(paintedU(*w).empty());
        w->Slider2->setValue(255);
        QTest::mouseMove(w->Picture3, cell(130, 64));
        release(*w, 130, 64);
        const auto cells = paintedU(*w);
        QCOMPARE(cells.size(), std::size_t { 41 });
        for (auto k : cells)
            QVERIFY(k % 128 >= 123);
        QCOMPARE(pixelsOf(w->Picture3->image(), kRed).size(), std::size_t { 41 });
        QCOMPARE(w->state.uA.size(), std::size_t { 128 * 128 + 1 });
        stroke(*w, 135, 64); // a disc wholly outside paints nothing
        QCOMPARE(paintedU(*w).size(), std::size_t { 41 });
    }

    void onlyTheDiscOfTheTargetSpecies()
    {
        click(w->Random);
        for (float& x : w->state.uB)
            x = 0.25f; // values of its own, so that a write to set B shows
        const rd::SimState before = w->state;
        w->Slider2->setValue(0); // the disc becomes 0 and its marks black
        stroke(*w, 40, 30);
        const auto disc = cellsAt(w->state.uA, 0.0f);
        QCOMPARE(disc.size(), std::size_t { 149 });
        QCOMPARE(cellsAt(w->state.uB, 0.0f), disc);
        QCOMPARE(asCells(pixelsOf(w->Picture3->image(), 0)), disc);
        for (std::size_t k = 0; k < before.uA.size(); ++k)
            if (!disc.count(std::int64_t(k)))
                QVERIFY(bits(w->state.uA[k]) == bits(before.uA[k]) && w->state.uB[k] == 0.25f);
        QVERIFY(sameBits(w->state.vA, before.vA) && sameBits(w->state.vB, before.vB));
        QCOMPARE(w->state.phaseA, before.phaseA);
    }

    void inhibitorValueIsExactOnPressAndMove()
    {
        typeInto(w->Text1[1], QStringLiteral("2"));
        click(w->Clear);
        QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
        w->Slider2->setValue(51);
        press(*w, 20, 20);
        QTest::mouseMove(w->Picture3, cell(90, 90));
        release(*w, 90, 90);
        const float expected = 0.4f; // 2 * 51 / 255
        const auto cells = cellsAt(w->state.vA, expected);
        QCOMPARE(cells.size(), std::size_t { 2 * 149 });
        QVERIFY(cells.count(20 + 128 * 20) && cells.count(93 + 128 * 90));
        QCOMPARE(cellsAt(w->state.vB, expected), cells);
        QCOMPARE(asCells(pixelsOf(w->Picture3->image(), qRgb(0, 0, 51))), cells);
        QCOMPARE(cellsAt(w->state.uA, 0.0f).size(), std::size_t { 128 * 128 });
    }

    void otherButtonsAndReleases()
    {
        press(*w, 64, 64, Qt::RightButton);
        QTest::mouseMove(w->Picture3, cell(70, 64));
        release(*w, 70, 64, Qt::RightButton);
        QVERIFY(paintedU(*w).empty());
        // A second press while the button is held paints nothing more; releasing another
        // button ends the stroke, so the move after it paints nothing.
        press(*w, 20, 20);
        QCOMPARE(w->state.mouseDown, rd::kTrue);
        press(*w, 100, 100, Qt::MiddleButton);
        release(*w, 100, 100, Qt::MiddleButton);
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        QTest::mouseMove(w->Picture3, cell(100, 20));
        release(*w, 100, 20);
        QCOMPARE(paintedU(*w).size(), std::size_t { 149 });
    }

    void paintingDuringARunBetweenTwoSteps()
    {
        click(w->Random);
        rd::SimState afterPaint;
        const int yields = driveRun(*w, [&](int yield) {
            if (yield == 3) {
                stroke(*w, 64, 64);
                afterPaint = w->state;
            } else if (yield == 5) {
                click(w->Run);
            }
        });
        QCOMPARE(yields, 5);
        QCOMPARE(cellsAt(afterPaint.uA, 3.0f).size(), std::size_t { 149 });
        QCOMPARE(cellsAt(afterPaint.uB, 3.0f).size(), std::size_t { 149 });
        // The two steps after the stroke started from the painted values in either set.
        for (int n = 0; n < 2; ++n)
            afterPaint.phaseA ? rd::Step2DFromA(afterPaint, rd::Model::GiererMeinhardt)
                              : rd::Step2DFromB(afterPaint, rd::Model::GiererMeinhardt);
        for (auto [now, expected] :
            { std::pair { &w->state.uA, &afterPaint.uA }, { &w->state.vA, &afterPaint.vA },
                { &w->state.uB, &afterPaint.uB }, { &w->state.vB, &afterPaint.vB } })
            QVERIFY(sameBits(*now, *expected));
    }

    void spiral()
    {
        const Pixels green = spiralPixels();
        QVERIFY(green.size() > 200);
        // Radius 0 paints exactly the arcs' pixels, marked red (no green left).
        w->Slider1->setValue(0);
        click(w->Spiral);
        QCOMPARE(paintedU(*w), asCells(green));
        QCOMPARE(pixelsOf(w->Picture3->image(), kRed), green);

        // Radius 7: a band around them; a second click paints the same cells.
        click(w->Clear);
        w->Slider1->setValue(7);
        click(w->Spiral);
        const auto band = paintedU(*w);
        for (auto [x, y] : green)
            QVERIFY(band.count(x + 128 * y));
        for (auto k : band) {
            bool near = false;
            for (auto [x, y] : green)
                near = near || (x - k % 128) * (x - k % 128) + (y - k / 128) * (y - k / 128) <= 49;
            QVERIFY(near);
        }
        w->Slider2->setValue(128);
        click(w->Spiral);
        const float value = float(3.0 * 128 / 255.0);
        QCOMPARE(cellsAt(w->state.uA, value), band);
        QCOMPARE(cellsAt(w->state.uB, value), band);
        QCOMPARE(asCells(pixelsOf(w->Picture3->image(), qRgb(128, 0, 0))), band);

        // Into v, leaving u.
        click(w->Clear);
        QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
        click(w->Spiral);
        QCOMPARE(cellsAt(w->state.vA, float(3.0 * 128 / 255.0)), band);
        QCOMPARE(cellsAt(w->state.vB, float(3.0 * 128 / 255.0)), band);
        QCOMPARE(cellsAt(w->state.uA, 0.0f).size(), std::size_t { 128 * 128 });
    }

private:
    std::unique_ptr<frmMain> w;
};

namespace {

// Column x shows a bar of this value: white above, the bar colour below. A line leaves out
// its end point, so the bar starts one row below the value's row.
bool columnIsBar(const PictureBox* box, int x, float value, QRgb colour)
{
    const int top = int(*box->pixelY(value)) + 1;
    for (int y = 0; y < box->innerHeight(); ++y)
        if (box->point(x, y) != (y >= top ? colour : qRgb(255, 255, 255)))
            return false;
    return true;
}

// The columns in which two images differ.
std::set<int> changedColumns(const QImage& a, const QImage& b)
{
    std::set<int> out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                out.insert(x);
    return out;
}

} // namespace

// Drawing the 1D profiles with the mouse.
class TestProfiles : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        w = shownWindow();
        click(w->Clear); // an intake: the plots' horizontal scale runs 0..nCells
        click(w->Random);
    }
    void cleanup() { w.reset(); }

    void pressStoresTheHeightAndDrawsOneBar()
    {
        PictureBox* p = w->Picture1;
        const rd::SimState before = w->state;
        const QImage imgBefore = p->image();
        const int py = p->innerHeight() / 3; // a third of the way down from uMax 3
        QTest::mousePress(p, Qt::LeftButton, {}, cell(40, py));
        const float stored = w->state.uA[40];
        QCOMPARE(bits(stored), bits(p->userY(py)));
        QVERIFY(std::abs(stored - 2.0f) <= 3.0f / p->innerHeight());
        QVERIFY(columnIsBar(p, 40, stored, kRed));
        QCOMPARE(changedColumns(p->image(), imgBefore), std::set<int> { 40 });
        QTest::mouseRelease(p, Qt::LeftButton, {}, cell(40, py));
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        std::vector<float> uA = before.uA;
        uA[40] = stored;
        QVERIFY(sameBits(w->state.uA, uA) && sameBits(w->state.vA, before.vA));
        QVERIFY(sameBits(w->state.uB, before.uB));
    }

    void dragsAreClampedAndOnlyReportedColumnsChange()
    {
        PictureBox* p = w->Picture1;
        click(w->Clear);
        QTest::mousePress(p, Qt::LeftButton, {}, cell(10, 30));
        QTest::mouseMove(p, cell(11, -40)); // above the top: exactly uMax
        QVERIFY(columnIsBar(p, 11, 3.0f, kRed));
        QTest::mouseMove(p, cell(12, p->innerHeight() + 50)); // below the bottom: 0
        QCOMPARE(bits(w->state.uA[12]), bits(0.0f));
        QVERIFY(columnIsBar(p, 12, 0.0f, kRed));
        QTest::mouseMove(p, cell(20, -1));
        QTest::mouseMove(p, cell(25, -1));
        QTest::mouseRelease(p, Qt::LeftButton, {}, cell(25, -1));
        // The last cell can be drawn, the one past it not.
        QTest::mousePress(p, Qt::LeftButton, {}, cell(127, 0));
        QTest::mouseMove(p, cell(127, -5));
        QTest::mouseRelease(p, Qt::LeftButton, {}, cell(127, -5));
        QCOMPARE(
            indicesEqual(w->state.uA, 129, 3.0f), (std::set<std::int64_t> { 11, 20, 25, 127 }));
    }

    void movesPastEitherEndAreIgnored()
    {
        PictureBox* p = w->Picture2;
        QTest::mousePress(p, Qt::LeftButton, {}, cell(127, 20));
        const rd::SimState before = w->state;
        const QImage img = p->image();
        for (int x : { 128, 129, 135, -1, -2 }) { // 128 is beyond the last cell, 127
            QTest::mouseMove(p, cell(x, 10));
            QTest::mouseMove(p, cell(x, -30));
        }
        QVERIFY(sameBits(w->state.vA, before.vA) && sameBits(w->state.uA, before.uA));
        QCOMPARE(p->image(), img);
        QCOMPARE(w->state.mouseDown, rd::kTrue);
        QTest::mouseRelease(p, Qt::LeftButton, {}, cell(140, 10));
        QCOMPARE(w->state.mouseDown, rd::kFalse);
    }

    void inhibitorPlotEditsOnlyVA()
    {
        for (auto* a : { &w->state.uB, &w->state.vB })
            a->assign(a->size(), 0.5f);
        const rd::SimState before = w->state;
        const QImage u = w->Picture1->image();
        PictureBox* p = w->Picture2;
        QTest::mousePress(p, Qt::LeftButton, {}, cell(64, 0));
        QTest::mouseMove(p, cell(65, -3));
        QTest::mouseRelease(p, Qt::LeftButton, {}, cell(65, -3));
        QCOMPARE(bits(w->state.vA[64]), bits(p->userY(0)));
        QCOMPARE(bits(w->state.vA[65]), bits(3.0f));
        QVERIFY(columnIsBar(p, 65, 3.0f, kBlue));
        QVERIFY(sameBits(w->state.uA, before.uA) && sameBits(w->state.uB, before.uB));
        QVERIFY(sameBits(w->state.vB, before.vB));
        QCOMPARE(w->Picture1->image(), u);
    }

    void otherButtonsAndReleases()
    {
        PictureBox* p = w->Picture1;
        click(w->Clear);
        const QImage img = p->image();
        QTest::mousePress(p, Qt::RightButton, {}, cell(30, 5));
        QTest::mouseMove(p, cell(31, 5));
        QTest::mouseRelease(p, Qt::RightButton, {}, cell(31, 5));
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        QCOMPARE(p->image(), img);
        // A press on one plot holds the shared flag: a press on the other does nothing.
        QTest::mousePress(p, Qt::LeftButton, {}, cell(30, 5));
        QTest::mousePress(w->Picture2, Qt::LeftButton, {}, cell(30, 5));
        QCOMPARE(bits(w->state.vA[30]), bits(0.0f));
        // Releasing another button ends the stroke.
        QTest::mouseRelease(p, Qt::MiddleButton, {}, cell(30, 5));
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        QTest::mouseMove(p, cell(33, 5));
        QTest::mouseRelease(p, Qt::LeftButton, {}, cell(33, 5));
        QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 128 });
    }

private:
    std::unique_ptr<frmMain> w;
};

namespace {

std::array<QAction*, 4> entries(const frmMain& w)
{
    return { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre };
}

// Every cell of set A in [lo, hi) for u and v, many distinct; the spare element and set B as
// they were.
void checkRandomField(const frmMain& w, std::size_t cells, float uLo, float uHi, float vLo,
    float vHi, float spare, float setB)
{
    const auto& s = w.state;
    QCOMPARE(s.uA.size(), cells + 1);
    std::set<float> distinct;
    for (std::size_t k = 0; k < cells; ++k) {
        QVERIFY2(s.uA[k] >= uLo && s.uA[k] < uHi, qPrintable(QString::number(s.uA[k])));
        QVERIFY2(s.vA[k] >= vLo && s.vA[k] < vHi, qPrintable(QString::number(s.vA[k])));
        distinct.insert(s.uA[k]);
    }
    QVERIFY(distinct.size() > cells / 2);
    QCOMPARE(bits(s.uA[cells]), bits(spare));
    QCOMPARE(bits(s.vA[cells]), bits(spare));
    QCOMPARE(indicesEqual(s.uB, 1 << 20, setB).size(), cells + 1);
    QCOMPARE(indicesEqual(s.vB, 1 << 20, setB).size(), cells + 1);
}

} // namespace

// The "Function" menu, the "1D"/"2D" options, Random and Clear, also during runs.
class TestControls : public QObject {
    Q_OBJECT

private slots:
    void menuChoicesAndMirroredLabels()
    {
        auto w = shownWindow();
        const auto e = entries(*w);
        QCOMPARE(w->Label1[63]->text(), QStringLiteral("F"));
        for (int chosen : { 2, 1, 3, 0, 3 }) {
            e[chosen]->trigger();
            for (int m = 0; m < 4; ++m) {
                QCOMPARE(e[m]->isChecked(), m == chosen);
                QCOMPARE(e[m]->isEnabled(), m != chosen);
                QCOMPARE(w->Frame1[m]->isVisible(), m == chosen);
            }
        }
        // The intake ran with the chosen model's boxes; labels show a box as typed.
        QCOMPARE(w->checkedModel(), rd::Model::Oregonator);
        QCOMPARE(bits(w->state.kB), bits(8e-4f));
        QCOMPARE(bits(w->state.kC), bits(0.01f));
        QCOMPARE(w->Label1[102]->text(), QStringLiteral("8e-4"));
        typeInto(w->Text1[25], QStringLiteral(" 0.0400 "));
        QCOMPARE(w->Label1[63]->text(), QStringLiteral("0.04")); // typing alone changes nothing
        e[2]->trigger();
        QCOMPARE(w->Label1[63]->text(), QStringLiteral(" 0.0400 "));
        QCOMPARE(bits(w->state.kA), bits(0.04f));
        QCOMPARE(bits(w->state.kC), bits(0.01f)); // not read by Gray-Scott
        QCOMPARE(w->Picture42->scaleTop(), 1.0f); // its panel's plot takes its ranges
        QCOMPARE(w->Picture40->scaleTop(), 3.0f);
        e[0]->trigger();
        QCOMPARE(bits(w->state.kC), bits(0.5f));
        QCOMPARE(bits(w->state.uMax), bits(3.0f));
        // A choice does not touch the field.
        QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 129 });
    }

    void modelChoiceDuringA2DRun()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        click(w->Random);
        rd::SimState afterChoice;
        bool stillRunning = false;
        const int yields = driveRun(*w, [&](int yield) {
            if (yield == 4) {
                w->mnuOre->trigger();
                afterChoice = w->state;
                stillRunning = w->state.running && w->Run->text() == QStringLiteral("Stop");
            } else if (yield == 7) {
                click(w->Run);
            }
        });
        QCOMPARE(yields, 7);
        QVERIFY(stillRunning);
        QCOMPARE(afterChoice.phaseA, rd::kTrue); // the intake made set A current
        QCOMPARE(counter(*w), 8); // counting on, not from 1 again
        for (int n = 0; n < 3; ++n)
            afterChoice.phaseA ? rd::Step2DFromA(afterChoice, rd::Model::Oregonator)
                               : rd::Step2DFromB(afterChoice, rd::Model::Oregonator);
        QVERIFY(sameBits(w->state.uA, afterChoice.uA) && sameBits(w->state.vA, afterChoice.vA));
        QVERIFY(sameBits(w->state.uB, afterChoice.uB) && sameBits(w->state.vB, afterChoice.vB));
    }

    void dimensionRoundTripKeepsTheLeadingElements()
    {
        auto w = shownWindow();
        auto& s = w->state;
        auto leading = [&](float first) {
            std::vector<float> a(16385, 0.0f);
            for (std::size_t k = 0; k <= 128; ++k)
                a[k] = first + float(k);
            return a;
        };
        for (std::size_t k = 0; k < s.uA.size(); ++k)
            s.uA[k] = s.vB[k] = float(k + 1);
        click(w->Option1[1]);
        QVERIFY(sameBits(s.uA, leading(1)) && sameBits(s.vB, leading(1)));
        QVERIFY(w->Picture3->isVisible() && w->Frame3->isVisible() && !w->Picture1->isVisible());
        QCOMPARE(bits(s.su), bits(0.98f)); // the weights wait for the next intake
        for (std::size_t k = 0; k < s.uA.size(); ++k)
            s.uA[k] = float(1000 + k);
        click(w->Option1[0]);
        QCOMPARE(s.uA.size(), std::size_t { 129 });
        QVERIFY(w->Picture1->isVisible() && !w->Frame3->isVisible());
        click(w->Option1[0]); // already selected: the same
        QCOMPARE(s.uA.size(), std::size_t { 129 });
        typeInto(w->Text3, QStringLiteral("64")); // a typed size waits for an intake too
        click(w->Option1[1]);
        QVERIFY(sameBits(s.uA, leading(1000)) && sameBits(s.vB, leading(1)));
    }

    void oneDEndsA2DRun()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        click(w->Random);
        const int yields = driveRun(*w, [&](int yield) {
            if (yield == 3) { // were an intake run by the switch, these would take effect
                typeInto(w->Text2, QStringLiteral("7"));
                typeInto(w->Text3, QStringLiteral("32"));
                click(w->Option1[0]);
            } else if (yield == 4) {
                click(w->Run); // the switch did not stop the run
            }
        });
        QCOMPARE(yields, 3);
        QCOMPARE(w->state.running, rd::kFalse);
        QCOMPARE(w->Run->text(), QStringLiteral("Start"));
        QCOMPARE(counter(*w), 4); // no step after the switch
        QCOMPARE(w->state.uB.size(), std::size_t { 129 });
        QCOMPARE(w->state.itersPerImage, 20);
        QCOMPARE(w->state.nCells, 128);
        QVERIFY(w->Picture1->isVisible() && !w->Picture3->isVisible());
    }

    void randomRanges()
    {
        const std::tuple<int, bool, float, float> cases[] = { { 0, false, 1.5f, 1.8f },
            { 1, true, 1.5f, 1.8f }, { 2, false, 0.5f, 0.6f }, { 3, true, 0.5f, 0.6f } };
        for (auto [model, twoD, lo, hi] : cases) {
            auto w = shownWindow();
            entries(*w)[model]->trigger();
            if (twoD)
                switchTo2D(*w);
            w->state.uA.back() = w->state.vA.back() = 9.0f;
            for (auto* a : { &w->state.uB, &w->state.vB })
                a->assign(a->size(), 0.125f);
            w->state.phaseA = rd::kFalse;
            click(w->Random);
            checkRandomField(*w, twoD ? 128 * 128 : 128, lo, hi, lo, hi, 9.0f, 0.125f);
            QCOMPARE(w->state.phaseA, rd::kFalse);
            const auto first = w->state.uA;
            click(w->Random);
            QVERIFY(w->state.uA != first); // reseeded: another field
        }
    }

    void randomIgnoresTypedRangesUntilAnIntake()
    {
        auto w = shownWindow();
        typeInto(w->Text1[0], QStringLiteral("10"));
        click(w->Random);
        checkRandomField(*w, 128, 1.5f, 1.8f, 1.5f, 1.8f, 0.0f, 0.0f);
        click(w->Clear);
        click(w->Random);
        checkRandomField(*w, 128, 5.0f, 6.0f, 1.5f, 1.8f, 0.0f, 0.0f);
    }

    void clearAppliesANewSizeFirst()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        click(w->Random);
        const float kept = w->state.uA[4096];
        typeInto(w->Text3, QStringLiteral("64"));
        click(w->Clear);
        QCOMPARE(w->state.nCells, 64);
        QCOMPARE(w->state.uA.size(), std::size_t { 4097 });
        QCOMPARE(indicesEqual(w->state.uA, 4096, 0.0f).size(), std::size_t { 4096 });
        QCOMPARE(indicesEqual(w->state.vA, 4096, 0.0f).size(), std::size_t { 4096 });
        QCOMPARE(bits(w->state.uA[4096]), bits(kept)); // the spare element is not a cell
        QCOMPARE(w->state.phaseA, rd::kTrue);
        QCOMPARE(w->Picture3->width(), 68);
        QCOMPARE(pixelsOf(w->Picture3->image(), 0).size(), std::size_t { 64 * 64 });
    }
};

namespace {

// The pixels a trajectory from (0, 0) lands on: 10000 steps of u += su dt, v += dt sv,
// each clamped at 0.
Pixels trajectory(const frmMain& w, rd::Model model, const PictureBox* box)
{
    Pixels out;
    float u = 0, v = 0, su = 0, sv = 0;
    for (int n = 0; n < 10000; ++n) {
        rd::callModel(model, w.state, u, v, su, sv);
        u = std::max(su * w.state.dt + u, 0.0f);
        v = std::max(w.state.dt * sv + v, 0.0f);
        const auto x = *box->pixelX(u), y = *box->pixelY(v);
        if (x >= 0 && y >= 0 && x < box->innerWidth() && y < box->innerHeight())
            out.insert({ int(x), int(y) });
    }
    return out;
}

void releaseAtOrigin(PictureBox* box, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(box, button, {}, cell(0, box->innerHeight()));
}

QByteArray readAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QStringList entries()
{
    return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// A 24-bit BMP file with the pixels of the box.
void checkBmp(const QString& name, const PictureBox* box)
{
    const QByteArray bytes = readAll(name);
    QVERIFY2(bytes.size() > 54 && bytes.startsWith("BM"), qPrintable(name));
    QCOMPARE(int(quint8(bytes[28])) | int(quint8(bytes[29])) << 8, 24);
    QCOMPARE(QImage(name, "BMP").convertToFormat(QImage::Format_RGB32), box->image());
}

} // namespace

// Phase-plane plots on the model panels, and Save As, in a fresh working folder each.
class TestOutput : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        savedCwd = QDir::currentPath();
        workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(workDir->isValid() && QDir::setCurrent(workDir->path()));
        w = shownWindow();
    }
    void cleanup()
    {
        w.reset();
        QDir::setCurrent(savedCwd);
        // A locked folder is opened again so that the temporary folder can go.
        QFile::setPermissions(workDir->filePath(QStringLiteral("locked")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        workDir.reset();
    }

    void phasePlots()
    {
        releaseAtOrigin(w->Picture40);
        const Pixels gm = pixelsOf(w->Picture40->image(), 0);
        QVERIFY(gm.size() > 20);
        QCOMPARE(gm, trajectory(*w, rd::Model::GiererMeinhardt, w->Picture40));

        // A second release draws only its own trajectory.
        w->mnuSch->trigger();
        QTest::mouseRelease(w->Picture41, Qt::LeftButton, {}, cell(60, 60));
        const Pixels first = pixelsOf(w->Picture41->image(), 0);
        releaseAtOrigin(w->Picture41);
        const Pixels second = pixelsOf(w->Picture41->image(), 0);
        QCOMPARE(second, trajectory(*w, rd::Model::Schnakenberg, w->Picture41));
        QVERIFY(second != first);

        // A large gain makes v overshoot below 0 every second step: 0 -> 2.4 -> 0 ... Points
        // at v = 0 lie on the bottom edge, outside the image, so one pixel shows. The release
        // (any button) runs the intake first.
        w->mnuGS->trigger();
        PictureBox* box = w->Picture42;
        typeInto(w->Text1[22], QStringLiteral("60"));
        typeInto(w->Text1[21], QStringLiteral("3"));
        releaseAtOrigin(box, Qt::RightButton);
        QCOMPARE(box->scaleTop(), 3.0f);
        const Pixels one { { 0, int(*box->pixelY(0.04f * 60.0f)) } };
        QCOMPARE(pixelsOf(box->image(), 0), one);
        QCOMPARE(trajectory(*w, rd::Model::GrayScott, box), one);
    }

    void saveAs()
    {
        // 1D: the two profiles, with their bars.
        click(w->Random);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("Activator_1D.bmp"), w->Picture1);
        checkBmp(QStringLiteral("Inhibitor_1D.bmp"), w->Picture2);
        QVERIFY(pixelsOf(QImage(QStringLiteral("Activator_1D.bmp")), qRgb(255, 0, 0)).size() > 100);
        // 2D: the field, replaced without a question when saved again; a new size shows once
        // the field has been redrawn.
        switchTo2D(*w);
        click(w->Random);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("2D.bmp"), w->Picture3);
        const QByteArray first = readAll(QStringLiteral("2D.bmp"));
        typeInto(w->Text3, QStringLiteral("64"));
        click(w->Clear);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("2D.bmp"), w->Picture3);
        QVERIFY(readAll(QStringLiteral("2D.bmp")) != first);
        QCOMPARE(QImage(QStringLiteral("2D.bmp")).size(), QSize(64, 64));
        QCOMPARE(entries(), (QStringList { "2D.bmp", "Activator_1D.bmp", "Inhibitor_1D.bmp" }));
        QVERIFY(w->lastMessage.isEmpty());
    }

    void saveAsStopsAtTheFirstFileThatFails()
    {
        // 1D: the second file is not attempted once the first fails.
        QVERIFY(QDir().mkdir(QStringLiteral("Activator_1D.bmp")));
        writeFile(QStringLiteral("Inhibitor_1D.bmp"), "earlier file");
        w->mnuSaveAs->trigger();
        QVERIFY2(w->lastMessage.contains(QStringLiteral("\"Activator_1D.bmp\"")),
            qPrintable(w->lastMessage));
        QCOMPARE(readAll(QStringLiteral("Inhibitor_1D.bmp")), QByteArray("earlier file"));
        QCOMPARE(entries(), (QStringList { "Activator_1D.bmp", "Inhibitor_1D.bmp" }));
    }

    void saveAsInAnUnwritableDirectory()
    {
        switchTo2D(*w);
        QVERIFY(QDir().mkdir(QStringLiteral("locked")));
        writeFile(QStringLiteral("locked/2D.bmp"), "earlier file");
        const auto r = QFile::ReadOwner | QFile::ReadOther;
        const auto x = QFile::ExeOwner | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(workDir->path(), r | x | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(QStringLiteral("locked"), r | x));
        QVERIFY(QFile::setPermissions(QStringLiteral("locked/2D.bmp"), r));
        QVERIFY(QDir::setCurrent(QStringLiteral("locked")));
        // Root may write anywhere; as another file-system user the permissions hold for real.
        const bool root = geteuid() == 0;
        auto become = [root](int id) {
            if (root) {
                setfsgid(id);
                setfsuid(id);
            }
        };
        struct Back {
            std::function<void()> f;
            ~Back() { f(); }
        } back { [&] { become(0); } };
        become(65534);
        QFile probe(QStringLiteral("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("the directory's permissions do not hold for this user");
        }
        w->mnuSaveAs->trigger();
        QVERIFY2(w->lastMessage.contains(QStringLiteral("\"2D.bmp\"")), qPrintable(w->lastMessage));
        QCOMPARE(readAll(QStringLiteral("2D.bmp")), QByteArray("earlier file"));
        QCOMPARE(entries(), QStringList { QStringLiteral("2D.bmp") });

        // With the old file writable, it is written in place, as a plain save would.
        become(0);
        QVERIFY(QFile::setPermissions(
            QStringLiteral("2D.bmp"), r | QFile::WriteOwner | QFile::WriteOther));
        become(65534);
        w->lastMessage.clear();
        w->mnuSaveAs->trigger();
        QVERIFY2(w->lastMessage.isEmpty(), qPrintable(w->lastMessage));
        checkBmp(QStringLiteral("2D.bmp"), w->Picture3);
    }

private:
    QString savedCwd;
    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<frmMain> w;
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TestPainting painting;
    TestProfiles profiles;
    TestControls controls;
    TestOutput output;
    int failed = 0;
    for (QObject* t : std::initializer_list<QObject*> { &painting, &profiles, &controls, &output })
        failed += QTest::qExec(t, argc, argv);
    return failed == 0 ? 0 : 1;
}

#include "tst_Editing.moc"
