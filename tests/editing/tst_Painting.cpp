#include "GuiTestSupport.h"
#include "Integrators.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

using namespace gt;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 255, 0);

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

    void discs_data()
    {
        QTest::addColumn<int>("radius");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("count");
        QTest::newRow("radius 7 in the middle") << 7 << QPoint(64, 64) << 149;
        QTest::newRow("radius 7 at the corner") << 7 << QPoint(0, 0) << 45;
        QTest::newRow("radius 0") << 0 << QPoint(10, 20) << 1;
    }
    void discs()
    {
        QFETCH(int, radius);
        QFETCH(QPoint, at);
        QFETCH(int, count);
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

int runPaintingTests(int argc, char** argv)
{
    TestPainting t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_Painting.moc"
