#include "FieldImage.h"
#include "GuiTestSupport.h"

#include <QGroupBox>
#include <QSlider>
#include <QTest>

#include <limits>
#include <random>

using gt::pixelsOf;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void grayLevelRoundsTheSingleProductHalfToEven()
    {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        // 0.1f * 85 is 8.50000013 in double but exactly 8.5 in single, and 8.5 -> 8.
        const std::tuple<float, float, int> cases[] = { { 1.5f, 85, 128 }, { 3, 85, 255 },
            { 6, 85, 255 }, { 0.5f, 1, 0 }, { 254.5f, 1, 254 }, { 255.5f, 1, 255 }, { -1, 85, 0 },
            { 1e6f, 85, 255 }, { nan, 85, 0 }, { inf, 85, 0 }, { 3e38f, 85, 0 }, { 0.1f, 85, 8 } };
        for (auto [u, scale, level] : cases)
            QVERIFY2(rd::grayLevel(u, scale) == level, qPrintable(QString::number(u)));
    }

    void renderFieldPlacesCells()
    {
        const float cells[] = { 0.0f, 1.0f, 2.0f, 3.0f, 1.5f };
        const QImage img = rd::renderField(cells, 2, 85.0f); // cell j * N + i is pixel (i, j)
        QCOMPARE(img.format(), QImage::Format_RGB32);
        QCOMPARE(img.size(), QSize(2, 2));
        QCOMPARE(img.pixel(1, 0), qRgb(85, 85, 85));
        QCOMPARE(img.pixel(0, 1), qRgb(170, 170, 170));
        QCOMPARE(img.pixel(1, 1), kWhite);
        QVERIFY(rd::renderField(cells, 0, 85.0f).isNull());
    }

    void draw2DReadsTheSetAsked()
    {
        frmMain w;
        rd::SimState& s = w.state;
        s.resizeArrays(s.highestIndex2D());
        std::mt19937 gen(7);
        std::uniform_real_distribution<float> dist(-0.5f, 3.5f);
        for (float& u : s.uA)
            u = dist(gen);
        s.uB = s.uA;
        s.uB[3 * 128 + 2] = 3.0f;
        s.uA[3 * 128 + 2] = 0.0f;
        s.vA.assign(s.vA.size(), 3.0f); // never drawn in 2D
        Access::draw2DFromA(w);
        QCOMPARE(w.Picture3->image(), rd::renderField(s.uA.data(), 128, 85.0f));
        Access::draw2DFromB(w);
        QCOMPARE(w.Picture3->image(), rd::renderField(s.uB.data(), 128, 85.0f));
        QCOMPARE(w.Picture3->point(2, 3), kWhite);

        // A box larger than the field: the area beyond the cells is black.
        s.nCells = 1;
        s.uA[0] = 3.0f;
        w.Picture3->setGeometry(200, 50, 14, 14);
        w.Picture3->pset(5, 5, Qt::red);
        Access::draw2DFromA(w);
        QCOMPARE(w.Picture3->point(0, 0), kWhite);
        QCOMPARE(pixelsOf(w.Picture3->image(), 0).size(), std::size_t(99));
    }

    void draw1DRepaintsEveryColumn()
    {
        frmMain w;
        rd::SimState& s = w.state;
        s.uMax = 3.0f;
        s.vMax = 2.0f;
        w.Picture1->setScale(0.0f, s.uMax, 128.0f, 0.0f); // as an intake in 1D leaves them
        w.Picture2->setScale(0.0f, s.vMax, 128.0f, 0.0f);
        s.uA[5] = 10.0f; // above the range
        s.uA[7] = 1.5f; // half the range: pixel row 31
        s.uA[8] = -1.0f;
        s.vA[7] = 2.0f; // the top of v's range
        s.vA[20] = 1e30f;
        w.Picture1->line(6.0f, 0.0f, 6.0f, 3.0f, Qt::red); // an old bar, to be painted over
        Access::draw1D(w);
        const int h = w.Picture1->innerHeight();
        QCOMPARE(h, 62);
        for (int y = 0; y < h; ++y) {
            QCOMPARE(w.Picture1->point(5, y), kRed); // up to and including the top row
            QCOMPARE(w.Picture1->point(6, y), kWhite);
            QCOMPARE(w.Picture1->point(8, y), kWhite);
            QCOMPARE(w.Picture1->point(7, y), y > 31 ? kRed : kWhite);
            QCOMPARE(w.Picture2->point(7, y), y > 0 ? kBlue : kWhite);
            QCOMPARE(w.Picture2->point(20, y), kBlue);
        }
        QCOMPARE(pixelsOf(w.Picture1->image(), kRed).size(), std::size_t(62 + 30));
        QCOMPARE(pixelsOf(w.Picture1->image(), kWhite).size(), std::size_t(128 * 62 - 92));
        QCOMPARE(pixelsOf(w.Picture2->image(), kBlue).size(), std::size_t(61 + 62));
    }

    void previewDiscs()
    {
        frmMain w;
        for (auto [radius, marked] : { std::pair { 0, 1 }, { 1, 5 }, { 7, 149 }, { 12, 441 } }) {
            w.Slider1->setValue(radius);
            const QImage p = w.Picture5->image();
            QCOMPARE(p.size(), QSize(25, 25));
            // Whole-number offsets, so a cell is inside when d^2 <= r^2.
            const auto red = pixelsOf(p, kRed);
            QCOMPARE(int(red.size()), marked);
            for (auto [x, y] : red)
                QVERIFY((x - 12) * (x - 12) + (y - 12) * (y - 12) <= radius * radius);
            const auto back = pixelsOf(p, w.palette().color(QPalette::Button).rgb());
            QCOMPARE(int(back.size()), 625 - marked);
        }
    }

    void swatchesAndSlidersRedrawThePreview()
    {
        auto w = gt::shownWindow();
        w->Frame3->show();
        QCOMPARE(w->state.paintU, rd::kTrue);
        QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(w->Picture6[0]->backColor(), QColor(127, 0, 0));
        QCOMPARE(w->Picture6[1]->backColor(), QColor(0, 0, 255));
        QCOMPARE(w->state.paintU, rd::kFalse);
        QCOMPARE(pixelsOf(w->Picture5->image(), kBlue).size(), std::size_t(149));
        QTest::mouseClick(w->Picture6[0], Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(w->Picture6[0]->backColor(), QColor(255, 0, 0));
        QCOMPARE(w->Picture6[1]->backColor(), QColor(0, 0, 127));
        QCOMPARE(w->state.paintU, rd::kTrue);
        QCOMPARE(pixelsOf(w->Picture5->image(), kRed).size(), std::size_t(149));
        Access::picture6Click(*w, 2); // any other index changes nothing
        QCOMPARE(w->Picture6[1]->backColor(), QColor(0, 0, 127));
        QCOMPARE(w->state.paintU, rd::kTrue);

        // While the thumb is held, every intermediate value redraws.
        const QRgb back = w->Picture5->backColor().rgb();
        w->Slider1->setSliderDown(true);
        w->Slider1->setValue(3);
        QCOMPARE(w->Picture5->point(15, 12), kRed);
        QCOMPARE(w->Picture5->point(16, 12), back);
        w->Slider1->setSliderDown(false);
        w->Slider1->setFocus();
        QTest::keyClick(w->Slider1, Qt::Key_PageUp);
        QCOMPARE(w->Picture5->point(20, 12), kRed);
        QCOMPARE(w->Picture5->point(21, 12), back);
        QTest::keyClick(w->Slider2, Qt::Key_PageDown);
        QCOMPARE(w->Picture5->point(12, 12), qRgb(205, 0, 0));
        w->Slider2->setValue(0); // intensity 0 is black, for either species
        QCOMPARE(w->Picture5->point(12, 12), qRgb(0, 0, 0));
        Access::picture6Click(*w, 1);
        QCOMPARE(w->Picture5->point(12, 12), qRgb(0, 0, 0));
        w->Slider2->setValue(51);
        QCOMPARE(w->Picture5->point(12, 12), qRgb(0, 0, 51));
    }
};

int runPicturesTests(int argc, char** argv)
{
    TestPictures t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_Pictures.moc"
