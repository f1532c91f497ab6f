// What the user edits in the window: painting discs and the spiral into the field, drawing
// the profiles (presses on a plot's border included, before and after the first intake), also
// during runs. Each test has a fresh window.
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

using namespace gt;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

void press(QWidget* box, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mousePress(box, b, {}, cell(i, j));
}
void moveTo(QWidget* box, int i, int j)
{
    QTest::mouseMove(box, cell(i, j));
}
void release(QWidget* box, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mouseRelease(box, b, {}, cell(i, j));
}

// Cells of a 128 x 128 field with exactly this value, as flat indices.
std::set<std::int64_t> cellsAt(const std::vector<float>& a, float value)
{
    return indicesEqual(a, 128 * 128, value);
}

std::set<std::int64_t> asCells(const Pixels& pixels)
{
    std::set<std::int64_t> out;
    for (auto [x, y] : pixels)
        out.insert(x + 128 * y);
    return out;
}

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

} // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void init() { w = shownWindow(); }
    void cleanup() { w.reset(); }

    void discs()
    {
        // Cells within the radius of a pointer position (d^2 <= r^2 at whole positions), in
        // both sets, marked red at once; nothing outside the field. Radius, pressed at, moved
        // to and released at, cells painted.
        const std::tuple<int, QPoint, QPoint, int> cases[] = { { 7, { 64, 64 }, { 64, 64 }, 149 },
            { 7, { 0, 0 }, { 0, 0 }, 45 }, { 0, { 10, 20 }, { 10, 20 }, 1 },
            { 7, { 64, 64 }, { 130, 64 }, 149 + 41 }, { 7, { 64, 64 }, { 135, 64 }, 149 } };
        switchTo2D(*w);
        for (auto [radius, from, to, count] : cases) {
            w->state.uB.assign(w->state.uB.size(), 0.0f); // Clear empties set A only
            click(w->Clear);
            w->Slider1->setValue(radius);
            press(w->Picture3, from.x(), from.y());
            if (to != from)
                moveTo(w->Picture3, to.x(), to.y());
            release(w->Picture3, to.x(), to.y());
            const auto cells = cellsAt(w->state.uA, 3.0f);
            QCOMPARE(int(cells.size()), count);
            for (auto k : cells) {
                const auto near = [&, radius = radius](QPoint p) {
                    const int di = int(k % 128) - p.x(), dj = int(k / 128) - p.y();
                    return di * di + dj * dj <= radius * radius;
                };
                QVERIFY(near(from) || near(to));
            }
            QCOMPARE(cellsAt(w->state.uB, 3.0f), cells);
            QCOMPARE(asCells(pixelsOf(w->Picture3->image(), kRed)), cells);
            QCOMPARE(w->state.mouseDown, rd::kFalse);
        }
    }

    void strokesWriteExactlyTheTargetSpecies()
    {
        // v at intensity 51 with vMax 2, read afresh at the move: the discs hold exactly
        // vMax * a / 255 in both sets, marked in the brush colour; nothing else changes.
        switchTo2D(*w);
        typeInto(w->Text1[1], QStringLiteral("2"));
        click(w->Clear);
        click(w->Random);
        for (auto* a : { &w->state.uB, &w->state.vB })
            a->assign(a->size(), 0.25f); // values of its own, so that a write to set B shows
        const rd::SimState before = w->state;
        QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
        w->Slider2->setValue(0);
        press(w->Picture3, 20, 20);
        w->Slider2->setValue(51);
        moveTo(w->Picture3, 90, 90);
        release(w->Picture3, 90, 90);
        const auto disc = cellsAt(w->state.vA, 0.4f);
        QCOMPARE(disc.size(), std::size_t { 149 });
        QVERIFY(disc.count(93 + 128 * 90) && !disc.count(20 + 128 * 20));
        QCOMPARE(cellsAt(w->state.vB, 0.4f), disc);
        QCOMPARE(asCells(pixelsOf(w->Picture3->image(), qRgb(0, 0, 51))), disc);
        QVERIFY(cellsAt(w->state.vA, 0.0f).count(20 + 128 * 20)); // the press at intensity 0
        QVERIFY(sameBits(w->state.uA, before.uA) && sameBits(w->state.uB, before.uB));
        QCOMPARE(w->state.phaseA, before.phaseA);
    }

    void paintingDuringARunBetweenTwoSteps()
    {
        switchTo2D(*w);
        click(w->Random);
        const auto afterPaint = actDuringRun(*w, 3, 5, [&] {
            press(w->Picture3, 64, 64);
            release(w->Picture3, 64, 64);
        });
        QVERIFY(afterPaint);
        QCOMPARE(cellsAt(afterPaint->uA, 3.0f).size(), std::size_t { 149 });
        // The two steps after the stroke started from the painted values in either set.
        QVERIFY(stepsLeadTo(*afterPaint, rd::Model::GiererMeinhardt, false, 2, *w));
    }

    void spiral()
    {
        switchTo2D(*w);
        // The pixels the spiral's 400 arcs colour, drawn with the picture box's own arc.
        PictureBox box;
        box.resize(132, 132);
        for (int i = 0; i < 400; ++i)
            box.arc(float(127 * 0.5), float(127 * 0.4), float(i * 0.00125 * 127), float(i * 0.0157),
                float((i + 1) * 0.0157), QColor(0, 255, 0));
        const Pixels green = pixelsOf(box.image(), qRgb(0, 255, 0));
        QVERIFY(green.size() > 200);
        // Radius 0 paints exactly the arcs' pixels, marked red (no green left).
        w->Slider1->setValue(0);
        click(w->Spiral);
        QCOMPARE(cellsAt(w->state.uA, 3.0f), asCells(green));
        QCOMPARE(pixelsOf(w->Picture3->image(), kRed), green);
        QCOMPARE(cellsAt(w->state.uB, 3.0f), asCells(green));
    }

    void profileDragsAreClampedAndEndAtTheLastCell()
    {
        PictureBox* p = w->Picture1;
        click(w->Clear);
        press(p, 10, 30);
        moveTo(p, 11, -40); // above the top: exactly uMax
        moveTo(p, 12, p->innerHeight() + 50); // below the bottom: 0
        QVERIFY(columnIsBar(p, 12, 0.0f, kRed));
        moveTo(p, 20, -1);
        // Another button's press draws nothing; releasing it ends the stroke.
        press(p, 100, 50, Qt::MiddleButton);
        release(p, 100, 50, Qt::MiddleButton);
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        moveTo(p, 100, -1);
        // The last cell can be drawn, the one past it not; moves past either end are ignored.
        press(p, 127, 0);
        moveTo(p, 127, -5);
        const rd::SimState before = w->state;
        const QImage img = p->image();
        for (int x : { 128, 129, 135, -1, -2 }) {
            moveTo(p, x, 10);
            moveTo(p, x, -30);
        }
        QVERIFY(sameBits(w->state.uA, before.uA) && p->image() == img);
        release(p, 140, 10);
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        QCOMPARE(indicesEqual(w->state.uA, 129, 3.0f), (std::set<std::int64_t> { 11, 20, 127 }));
        QCOMPARE(indicesEqual(w->state.vA, 129, 0.0f).size(), std::size_t { 129 });
    }

    void pressOnTheBorder_data()
    {
        QTest::addColumn<bool>("startUp"); // no intake yet: the scale runs 0..lastIdx
        QTest::addColumn<bool>("onU");
        QTest::addColumn<QPoint>("at"); // widget pixels; the drawing area is 128 x 62 at (2, 2)
        QTest::addColumn<int>("cell"); // the cell written, or -1 for none
        QTest::addColumn<float>("value");
        // A height inside the range: row 50 of 62, 3 at the top and 0 at the bottom.
        const float row50 = float(3.0 + 50 * (0.0 - 3.0) / 62);
        for (bool u : { true, false }) {
            const char* box = u ? "Picture1" : "Picture2";
            QTest::addRow("%s top border", box) << false << u << QPoint(42, 0) << 40 << 3.0f;
            QTest::addRow("%s bottom border", box) << false << u << QPoint(44, 65) << 42 << 0.0f;
            QTest::addRow("%s bottom-right corner of the area", box)
                << false << u << QPoint(129, 64) << 127 << 0.0f;
            QTest::addRow("%s right border, X = nCells", box)
                << false << u << QPoint(130, 20) << -1 << 0.0f;
            QTest::addRow("%s left border", box) << false << u << QPoint(1, 20) << -1 << 0.0f;
            // Right after start-up 128 columns span 0..127: column p is X = p * 127 / 128.
            QTest::addRow("%s start-up, top border", box)
                << true << u << QPoint(42, 0) << 40 << 3.0f;
            QTest::addRow("%s start-up, first column", box)
                << true << u << QPoint(2, 52) << 0 << row50;
            QTest::addRow("%s start-up, X = 63.5 to the even cell", box)
                << true << u << QPoint(66, 52) << 64 << row50;
            QTest::addRow("%s start-up, X = 64.49 to the same cell", box)
                << true << u << QPoint(67, 52) << 64 << row50;
            QTest::addRow("%s start-up, last column, X = 126.0", box)
                << true << u << QPoint(129, 52) << 126 << row50;
            QTest::addRow("%s start-up, right border, X = lastIdx", box)
                << true << u << QPoint(130, 52) << -1 << 0.0f;
            QTest::addRow("%s start-up, outer right border", box)
                << true << u << QPoint(131, 52) << -1 << 0.0f;
            QTest::addRow("%s start-up, left border", box)
                << true << u << QPoint(1, 52) << -1 << 0.0f;
        }
    }

    void pressOnTheBorder()
    {
        QFETCH(bool, startUp);
        QFETCH(bool, onU);
        QFETCH(QPoint, at);
        QFETCH(int, cell);
        QFETCH(float, value);
        if (!startUp)
            click(w->Clear); // an intake: the horizontal scale runs 0..nCells, both tops 3
        PictureBox* box = onU ? w->Picture1 : w->Picture2;
        for (auto* a : { &w->state.uA, &w->state.vA }) {
            a->assign(a->size(), 1.5f);
            a->back() = 9.5f; // the spare element beyond the last cell
        }
        const rd::SimState before = w->state;
        const QImage picture = box->image();
        const QImage otherPicture = (onU ? w->Picture2 : w->Picture1)->image();

        QTest::mousePress(box, Qt::LeftButton, {}, at);
        QCOMPARE(w->state.mouseDown, rd::kTrue);
        std::vector<float> expected = onU ? before.uA : before.vA;
        if (cell >= 0)
            expected[std::size_t(cell)] = value;
        QVERIFY(sameBits(onU ? w->state.uA : w->state.vA, expected));
        QVERIFY(sameBits(onU ? w->state.vA : w->state.uA, onU ? before.vA : before.uA));
        if (cell < 0)
            QCOMPARE(box->image(), picture);
        else // the cell's bar, drawn in the column pressed
            QVERIFY(columnIsBar(box, at.x() - 2, value, onU ? kRed : kBlue));

        // The stroke has begun: a move over the plot draws.
        QTest::mouseMove(box, QPoint(52, 33));
        QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(52, 33));
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        const std::vector<float>& after = onU ? w->state.uA : w->state.vA;
        QCOMPARE(bits(after[50]), bits(box->userY(31)));
        QCOMPARE(bits(after.back()), bits(9.5f));
        // Only the plot's own array and picture change.
        QVERIFY(sameBits(w->state.uB, before.uB) && sameBits(w->state.vB, before.vB));
        QCOMPARE((onU ? w->Picture2 : w->Picture1)->image(), otherPicture);
    }

private:
    std::unique_ptr<frmMain> w;
};

QTEST_MAIN(TestEditing)
#include "tst_Editing.moc"
