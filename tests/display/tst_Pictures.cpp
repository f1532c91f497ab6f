#include "tst_Pictures.h"

#include "FieldImage.h"
#include "TestAccess.h"

#include <QGroupBox>
#include <QSlider>
#include <QTest>

#include <cmath>
#include <limits>
#include <random>

using Access = frmMain::TestAccess;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

// The 1D state the settings intake leaves at start-up, with the profile scales of a later
// intake (right edge nCells, one unit per pixel).
void setUp1D(frmMain& w)
{
    rd::SimState& s = w.state;
    s.nCells = 128;
    s.lastIdx = 127;
    s.uMax = 3.0f;
    s.vMax = 2.0f;
    s.resizeArrays(s.highestIndex1D());
    w.Picture1->setScale(0.0f, s.uMax, 128.0f, 0.0f);
    w.Picture2->setScale(0.0f, s.vMax, 128.0f, 0.0f);
}

int countColour(const PictureBox& box, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < box.innerHeight(); ++y)
        for (int x = 0; x < box.innerWidth(); ++x)
            n += box.point(x, y) == colour;
    return n;
}

} // namespace

void TestPictures::grayLevel_data()
{
    QTest::addColumn<float>("u");
    QTest::addColumn<float>("scale");
    QTest::addColumn<int>("level");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("zero") << 0.0f << 85.0f << 0;
    QTest::newRow("uMax 3: 1.5 is 127.5 -> 128") << 1.5f << 85.0f << 128;
    QTest::newRow("uMax 3: uMax is white") << 3.0f << 85.0f << 255;
    QTest::newRow("2 uMax is white too") << 6.0f << 85.0f << 255;
    QTest::newRow("128.5 -> 128") << 128.5f << 1.0f << 128;
    QTest::newRow("0.5 -> 0") << 0.5f << 1.0f << 0;
    QTest::newRow("254.5 -> 254") << 254.5f << 1.0f << 254;
    QTest::newRow("255.5 -> white") << 255.5f << 1.0f << 255;
    QTest::newRow("-0.5 -> 0") << -0.5f << 1.0f << 0;
    QTest::newRow("negative") << -1.0f << 85.0f << 0;
    QTest::newRow("beyond 16 bits") << 1.0e6f << 85.0f << 255;
    QTest::newRow("far negative") << -1.0e6f << 85.0f << 0;
    QTest::newRow("NaN") << nan << 85.0f << 0;
    QTest::newRow("+inf") << inf << 85.0f << 0;
    QTest::newRow("overflowing product") << 3.0e38f << 85.0f << 0;
    // The product is rounded to single precision before it is rounded to an integer:
    // 0.1f * 85 is 8.50000013 in double but exactly 8.5 in single, and 8.5 -> 8.
    QTest::newRow("single-precision product") << 0.1f << 85.0f << 8;
}

void TestPictures::grayLevel()
{
    QFETCH(float, u);
    QFETCH(float, scale);
    QFETCH(int, level);
    QCOMPARE(rd::grayLevel(u, scale), level);
}

void TestPictures::renderFieldPlacesCells()
{
    // Cell j * N + i is pixel (i, j).
    const float cells[] = { 0.0f, 1.0f, 2.0f, 3.0f, 1.5f, 0.75f };
    const QImage img = rd::renderField(cells, 2, 85.0f);
    QCOMPARE(img.size(), QSize(2, 2));
    QCOMPARE(img.format(), QImage::Format_RGB32);
    QCOMPARE(img.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(img.pixel(1, 0), qRgb(85, 85, 85));
    QCOMPARE(img.pixel(0, 1), qRgb(170, 170, 170));
    QCOMPARE(img.pixel(1, 1), kWhite);
    QVERIFY(rd::renderField(cells, 0, 85.0f).isNull());
}

void TestPictures::draw2DFromAAndBAgree()
{
    frmMain w;
    rd::SimState& s = w.state;
    s.grayScale = 85.0f;
    s.resizeArrays(s.highestIndex2D());
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> dist(-0.5f, 3.5f);
    for (std::size_t k = 0; k < s.uA.size(); ++k)
        s.uA[k] = s.uB[k] = dist(gen);
    s.vA.assign(s.vA.size(), 3.0f); // never drawn in 2D

    Access::draw2DFromA(w);
    const QImage fromA = w.Picture3->image().copy();
    Access::draw2DFromB(w);
    QCOMPARE(w.Picture3->image(), fromA);
    QCOMPARE(fromA.size(), QSize(128, 128));
    for (int j : { 0, 5, 127 })
        for (int i : { 0, 64, 127 }) {
            const int g = rd::grayLevel(s.uA[j * 128 + i], 85.0f);
            QCOMPARE(fromA.pixel(i, j), qRgb(g, g, g));
        }
    // B reads its own array.
    s.uB[3 * 128 + 2] = 3.0f;
    s.uA[3 * 128 + 2] = 0.0f;
    Access::draw2DFromB(w);
    QCOMPARE(w.Picture3->point(2, 3), kWhite);
    Access::draw2DFromA(w);
    QCOMPARE(w.Picture3->point(2, 3), qRgb(0, 0, 0));
}

void TestPictures::draw2DSingleCellAndUncoveredArea()
{
    frmMain w;
    rd::SimState& s = w.state;
    s.nCells = 1;
    s.lastIdx = 0;
    s.grayScale = 85.0f;
    s.resizeArrays(s.highestIndex2D());
    s.uA[0] = 3.0f;
    w.Picture3->setGeometry(253, 108, 5, 5);
    Access::draw2DFromA(w);
    QCOMPARE(w.Picture3->image().size(), QSize(1, 1));
    QCOMPARE(w.Picture3->point(0, 0), kWhite);

    // A box larger than the field: the area beyond the cells is black.
    w.Picture3->setGeometry(200, 50, 14, 14);
    w.Picture3->pset(5, 5, Qt::red);
    Access::draw2DFromA(w);
    QCOMPARE(w.Picture3->point(0, 0), kWhite);
    QCOMPARE(countColour(*w.Picture3, qRgb(0, 0, 0)), 99);
}

void TestPictures::draw1DBars()
{
    frmMain w;
    setUp1D(w);
    rd::SimState& s = w.state;
    const int h = w.Picture1->innerHeight(); // 62; the zero line is row 62, below the box
    QCOMPARE(h, 62);
    s.uA[5] = 10.0f; // above the range
    s.uA[6] = 0.0f;
    s.uA[7] = 1.5f; // half the range: pixel row 31
    s.uA[8] = -1.0f;
    s.vA[7] = 2.0f; // the top of v's range
    // Whatever was there before, every column is repainted from scratch.
    w.Picture1->line(6.0f, 0.0f, 6.0f, 3.0f, Qt::red);
    w.Picture2->clear();
    Access::draw1D(w);

    for (int y = 0; y < h; ++y) {
        QCOMPARE(w.Picture1->point(5, y), kRed); // up to and including the top row
        QCOMPARE(w.Picture1->point(6, y), kWhite);
        QCOMPARE(w.Picture1->point(8, y), kWhite);
        QCOMPARE(w.Picture1->point(7, y), y > 31 ? kRed : kWhite);
        QCOMPARE(w.Picture2->point(7, y), y > 0 ? kBlue : kWhite);
        QCOMPARE(w.Picture2->point(8, y), kWhite);
    }
    // 128 columns, one per cell; no other column is coloured.
    QCOMPARE(countColour(*w.Picture1, kRed), 62 + 30);
    QCOMPARE(countColour(*w.Picture2, kBlue), 61);
    QCOMPARE(countColour(*w.Picture1, kWhite), 128 * 62 - 92);
}

void TestPictures::draw1DLoweringLeavesNoTrace()
{
    frmMain w;
    setUp1D(w);
    rd::SimState& s = w.state;
    s.uA[20] = 5.0f;
    s.vA[20] = 1e30f;
    Access::draw1D(w);
    QCOMPARE(w.Picture1->point(20, 0), kRed);
    QCOMPARE(w.Picture2->point(20, 0), kBlue);
    const QImage before = w.Picture1->image().copy();
    s.uA[20] = 1.5f;
    s.vA[20] = 0.0f;
    Access::draw1D(w);
    for (int y = 0; y <= 31; ++y)
        QCOMPARE(w.Picture1->point(20, y), kWhite);
    QCOMPARE(w.Picture1->point(20, 32), kRed);
    QCOMPARE(countColour(*w.Picture2, kBlue), 0);
    QVERIFY(w.Picture1->image() != before);
}

void TestPictures::previewDiscs_data()
{
    QTest::addColumn<int>("radius");
    QTest::newRow("0") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("7") << 7;
    QTest::newRow("12") << 12;
}

void TestPictures::previewDiscs()
{
    QFETCH(int, radius);
    frmMain w;
    w.Slider1->setValue(radius);
    Access::drawBrushPreview(w);
    const PictureBox& p = *w.Picture5;
    const QRgb back = w.palette().color(QPalette::Button).rgb();
    QCOMPARE(p.image().size(), QSize(25, 25));
    // Exactly the offsets within the radius: whole-number distances, so d^2 <= r^2.
    int marked = 0;
    for (int n = 0; n < 25; ++n)
        for (int i = 0; i < 25; ++i) {
            const int d2 = (n - 12) * (n - 12) + (i - 12) * (i - 12);
            const bool inside = d2 <= radius * radius;
            QCOMPARE(p.point(i, n), inside ? kRed : back);
            marked += inside;
        }
    if (radius == 0)
        QCOMPARE(marked, 1);
    if (radius == 7) {
        QCOMPARE(p.point(17, 17), back); // offset (5, 5): 7.07
        QCOMPARE(p.point(19, 12), kRed); // offset (7, 0)
        QCOMPARE(marked, 149);
    }
    if (radius == 12) {
        for (auto [x, y] : { std::pair { 0, 12 }, { 24, 12 }, { 12, 0 }, { 12, 24 } })
            QCOMPARE(p.point(x, y), kRed);
        for (auto [x, y] : { std::pair { 0, 0 }, { 24, 0 }, { 0, 24 }, { 24, 24 } })
            QCOMPARE(p.point(x, y), back);
    }
}

void TestPictures::previewIntensityZeroIsBlack()
{
    frmMain w;
    w.Slider2->setValue(0);
    QCOMPARE(w.Picture5->point(12, 12), qRgb(0, 0, 0));
    Access::picture6Click(w, 1);
    QCOMPARE(w.Picture5->point(12, 12), qRgb(0, 0, 0));
    w.Slider2->setValue(51);
    QCOMPARE(w.Picture5->point(12, 12), qRgb(0, 0, 51));
}

void TestPictures::swatchClicks()
{
    frmMain w;
    w.show();
    w.Frame3->show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.state.paintU, rd::kTrue);

    QTest::mouseClick(w.Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(w.Picture6[0]->backColor(), QColor(127, 0, 0));
    QCOMPARE(w.Picture6[1]->backColor(), QColor(0, 0, 255));
    QCOMPARE(w.state.paintU, rd::kFalse);
    QCOMPARE(w.Picture5->point(12, 12), kBlue);
    QCOMPARE(w.Picture5->point(19, 12), kBlue); // same radius 7
    QCOMPARE(countColour(*w.Picture5, kBlue), 149);

    QTest::mouseClick(w.Picture6[0], Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(w.Picture6[0]->backColor(), QColor(255, 0, 0));
    QCOMPARE(w.Picture6[1]->backColor(), QColor(0, 0, 127));
    QCOMPARE(w.state.paintU, rd::kTrue);
    QCOMPARE(countColour(*w.Picture5, kRed), 149);
    QCOMPARE(countColour(*w.Picture5, kBlue), 0);

    // Any other index changes nothing.
    Access::picture6Click(w, 2);
    QCOMPARE(w.Picture6[1]->backColor(), QColor(0, 0, 127));
    QCOMPARE(w.state.paintU, rd::kTrue);
}

void TestPictures::sliderDragRedraws()
{
    frmMain w;
    w.show();
    w.Frame3->show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // While the thumb is held, every intermediate value redraws the preview.
    w.Slider1->setSliderDown(true);
    w.Slider1->setValue(3);
    QCOMPARE(w.Picture5->point(15, 12), kRed);
    QCOMPARE(w.Picture5->point(16, 12), w.Picture5->backColor().rgb());
    w.Slider1->setValue(4);
    QCOMPARE(w.Picture5->point(16, 12), kRed);
    w.Slider1->setSliderDown(false);

    w.Slider1->setFocus();
    QTest::keyClick(w.Slider1, Qt::Key_Left);
    QCOMPARE(w.Slider1->value(), 3);
    QCOMPARE(w.Picture5->point(16, 12), w.Picture5->backColor().rgb());
    QTest::keyClick(w.Slider1, Qt::Key_PageUp);
    QCOMPARE(w.Slider1->value(), 8);
    QCOMPARE(w.Picture5->point(20, 12), kRed);
    QCOMPARE(w.Picture5->point(21, 12), w.Picture5->backColor().rgb());

    // The intensity slider redraws in the new strength.
    QTest::keyClick(w.Slider2, Qt::Key_PageDown);
    QCOMPARE(w.Slider2->value(), 205);
    QCOMPARE(w.Picture5->point(12, 12), qRgb(205, 0, 0));
}
