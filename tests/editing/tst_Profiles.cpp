#include "tst_Profiles.h"

#include "EditingSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace edit;

namespace {

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

// 1D after an intake, so that the plots' horizontal scale runs 0..nCells, one per pixel.
std::unique_ptr<frmMain> window1D()
{
    auto w = shownWindow();
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    return w;
}

int rowOf(const PictureBox* box, float value)
{
    return static_cast<int>(*box->pixelY(value));
}

// Column x of the image shows a bar of this value: white above, the bar colour below. A
// line leaves out its end point, so the bar starts one row below the value's row.
bool columnIsBar(const PictureBox* box, int x, float value, QRgb colour)
{
    const QImage img = box->image();
    const int top = rowOf(box, value) + 1;
    for (int y = 0; y < img.height(); ++y)
        if ((img.pixel(x, y) & 0xFFFFFFu) != ((y >= top ? colour : kWhite) & 0xFFFFFFu))
            return false;
    return true;
}

// Compares two images everywhere except the listed columns.
bool sameOutside(const QImage& a, const QImage& b, std::set<int> columns)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!columns.count(x) && a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

} // namespace

void TestProfiles::pressStoresTheHeightAndDrawsOneBar()
{
    auto w = window1D();
    PictureBox* p = w->Picture1;
    QCOMPARE(p->scaleRight(), 128.0f);
    const int h = p->innerHeight();
    QTest::mouseClick(w->Random, Qt::LeftButton);
    const auto before = w->state;
    const QImage imgBefore = p->image();
    // A third of the way down from uMax 3: about 2.
    const int py = h / 3;
    QTest::mousePress(p, Qt::LeftButton, {}, cell(40, py));
    const float stored = w->state.uA[40];
    QCOMPARE(bits(stored), bits(p->userY(py)));
    QVERIFY(std::abs(stored - 2.0f) <= 3.0f / h);
    QVERIFY(columnIsBar(p, 40, stored, kRed));
    QVERIFY(sameOutside(p->image(), imgBefore, { 40 }));
    QTest::mouseRelease(p, Qt::LeftButton, {}, cell(40, py));
    QCOMPARE(w->state.mouseDown, rd::kFalse);
    for (std::size_t k = 0; k < before.uA.size(); ++k)
        if (k != 40)
            QCOMPARE(bits(w->state.uA[k]), bits(before.uA[k]));
    QCOMPARE(w->state.vA, before.vA);
    QCOMPARE(w->state.uB, before.uB);
}

void TestProfiles::dragsAboveAndBelowAreClamped()
{
    auto w = window1D();
    PictureBox* p = w->Picture1;
    QTest::mousePress(p, Qt::LeftButton, {}, cell(10, 30));
    // Dragged above the top: exactly uMax; below the bottom: 0.
    QTest::mouseMove(p, cell(11, -40));
    QCOMPARE(bits(w->state.uA[11]), bits(3.0f));
    QVERIFY(columnIsBar(p, 11, 3.0f, kRed));
    QTest::mouseMove(p, cell(12, p->innerHeight() + 50));
    QCOMPARE(bits(w->state.uA[12]), bits(0.0f));
    QVERIFY(columnIsBar(p, 12, 0.0f, kRed)); // all white
    // A quick drag: only the reported columns change.
    QTest::mouseMove(p, cell(20, -1));
    QTest::mouseMove(p, cell(25, -1));
    QTest::mouseRelease(p, Qt::LeftButton, {}, cell(25, -1));
    const std::set<std::int64_t> atTop { 11, 20, 25 };
    QCOMPARE(indicesEqual(w->state.uA, 129, 3.0f), atTop);
    for (int k = 21; k < 25; ++k)
        QCOMPARE(bits(w->state.uA[k]), bits(0.0f));
    QVERIFY(columnIsBar(p, 22, 0.0f, kRed));
    // The last cell can be drawn, the cell index is the pointer rounded half to even.
    QTest::mousePress(p, Qt::LeftButton, {}, cell(127, 0));
    QTest::mouseMove(p, cell(127, -5));
    QTest::mouseRelease(p, Qt::LeftButton, {}, cell(127, -5));
    QCOMPARE(bits(w->state.uA[127]), bits(3.0f));
    QCOMPARE(bits(w->state.uA[128]), bits(0.0f));
}

void TestProfiles::movesPastEitherEndAreIgnored()
{
    auto w = window1D();
    QTest::mouseClick(w->Random, Qt::LeftButton);
    PictureBox* p = w->Picture2;
    QTest::mousePress(p, Qt::LeftButton, {}, cell(127, 20));
    const auto before = w->state;
    const QImage img = p->image();
    // Past the right end (128 is beyond the last cell, 127) and past the left end.
    for (int x : { 128, 129, 135, -1, -2 }) {
        QTest::mouseMove(p, cell(x, 10));
        QTest::mouseMove(p, cell(x, -30));
    }
    QCOMPARE(w->state.vA, before.vA);
    QCOMPARE(w->state.uA, before.uA);
    QCOMPARE(p->image(), img);
    QCOMPARE(w->state.mouseDown, rd::kTrue);
    QTest::mouseRelease(p, Qt::LeftButton, {}, cell(140, 10));
    QCOMPARE(w->state.mouseDown, rd::kFalse);
}

void TestProfiles::inhibitorPlotEditsOnlyVA()
{
    auto w = window1D();
    QTest::mouseClick(w->Random, Qt::LeftButton);
    for (auto& x : w->state.uB)
        x = 0.5f;
    for (auto& x : w->state.vB)
        x = 0.5f;
    const auto before = w->state;
    const QImage u = w->Picture1->image();
    PictureBox* p = w->Picture2;
    QTest::mousePress(p, Qt::LeftButton, {}, cell(64, 0));
    QTest::mouseMove(p, cell(65, -3));
    QTest::mouseRelease(p, Qt::LeftButton, {}, cell(65, -3));
    QCOMPARE(bits(w->state.vA[64]), bits(p->userY(0)));
    QCOMPARE(bits(w->state.vA[65]), bits(3.0f));
    QVERIFY(columnIsBar(p, 65, 3.0f, kBlue));
    QCOMPARE(w->state.uA, before.uA);
    QCOMPARE(w->state.uB, before.uB);
    QCOMPARE(w->state.vB, before.vB);
    QCOMPARE(w->Picture1->image(), u);
}

void TestProfiles::otherButtonsAndReleases()
{
    auto w = window1D();
    PictureBox* p = w->Picture1;
    const QImage img = p->image();
    QTest::mousePress(p, Qt::RightButton, {}, cell(30, 5));
    QTest::mouseMove(p, cell(31, 5));
    QTest::mouseRelease(p, Qt::RightButton, {}, cell(31, 5));
    QCOMPARE(w->state.mouseDown, rd::kFalse);
    QCOMPARE(p->image(), img);
    QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 129 });

    // A press on one plot holds the shared flag: a press on the other does nothing.
    QTest::mousePress(p, Qt::LeftButton, {}, cell(30, 5));
    QTest::mousePress(w->Picture2, Qt::LeftButton, {}, cell(30, 5));
    QCOMPARE(bits(w->state.vA[30]), bits(0.0f));
    // Releasing another button ends the stroke.
    QTest::mouseRelease(p, Qt::MiddleButton, {}, cell(30, 5));
    QCOMPARE(w->state.mouseDown, rd::kFalse);
    QTest::mouseMove(p, cell(33, 5));
    QCOMPARE(bits(w->state.uA[33]), bits(0.0f));
    QTest::mouseRelease(p, Qt::LeftButton, {}, cell(33, 5));
}
