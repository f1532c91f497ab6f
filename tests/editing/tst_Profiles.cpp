#include "GuiTestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace gt;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

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

int runProfilesTests(int argc, char** argv)
{
    TestProfiles t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_Profiles.moc"
