#include "FieldImage.h"
#include "GuiTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <limits>

using gt::bits;

namespace {

std::array<std::uint32_t, 4> scaleBits(const PictureBox* box)
{
    return { bits(box->scaleLeft()), bits(box->scaleTop()), bits(box->scaleRight()),
        bits(box->scaleBottom()) };
}

std::array<std::uint32_t, 4> scale(float left, float top, float right, float bottom)
{
    return { bits(left), bits(top), bits(right), bits(bottom) };
}

} // namespace

// The exact values of every model's start-up texts are checked with the intake itself; here,
// that the window takes them over and places and scales its boxes.
class TestStartUpAndIntake : public QObject {
    Q_OBJECT

private slots:
    void startUp1DThenIntake()
    {
        frmMain w;
        const rd::SimState& s = w.state;
        QCOMPARE(bits(s.dt), 0x3f800000u);
        QCOMPARE(bits(s.dx), 0x3c23d70au); // 0.0099999998
        // cu comes from that dx, not 0.01: one unit in the last place above 0.01f.
        QCOMPARE(bits(s.cu), 0x3c23d70bu);
        QCOMPARE(bits(s.su), 0x3f7ae148u); // 0.980000019
        QCOMPARE(bits(s.grayScale), bits(85.0f));
        QCOMPARE(s.nCells, 128);
        QCOMPARE(s.itersPerImage, 20);
        QCOMPARE((std::array { s.running, s.phaseA, s.paintU }),
            (std::array { rd::kFalse, rd::kTrue, rd::kTrue }));
        for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
            QCOMPARE(gt::indicesEqual(*a, 200, 0.0f).size(), std::size_t(129));
        // Start-up leaves the profiles' right edge at lastIdx; an intake in 1D puts nCells.
        QCOMPARE(scaleBits(w.Picture1), scale(0, 3, 127, 0));
        QCOMPARE(scaleBits(w.Picture2), scale(0, 3, 127, 0));
        for (const PictureBox* box : w.Picture4x)
            QCOMPARE(scaleBits(box), scale(0, 3, 3, 0));
        QVERIFY(!w.Picture3->hasUserScale());
        gt::typeInto(w.Text1[1], QStringLiteral("2")); // vMax of the checked model
        QVERIFY(Access::applySettings(w));
        QCOMPARE(scaleBits(w.Picture1), scale(0, 3, 128, 0));
        QCOMPARE(scaleBits(w.Picture2), scale(0, 2, 128, 0));
        QCOMPARE(scaleBits(w.Picture40), scale(0, 2, 3, 0));
        QCOMPARE(scaleBits(w.Picture41), scale(0, 3, 3, 0));
        QCOMPARE(w.Picture1->geometry(), QRect(189, 44, 132, 66));

        gt::click(w.Option1[1]);
        QVERIFY(Access::applySettings(w));
        QCOMPARE(s.uB.size(), std::size_t(16385));
        QCOMPARE(bits(s.sv), 0x3e4cccccu); // one unit in the last place below 0.2f
        QCOMPARE(w.Picture3->geometry(), QRect(189, 44, 132, 132));
        QCOMPARE(w.Picture3->image().size(), QSize(128, 128));
        QVERIFY(!w.Picture3->hasUserScale());
        QVERIFY(w.Picture3->isVisibleTo(&w) && !w.Picture1->isVisibleTo(&w));
    }

    void fieldSizeBox_data()
    {
        QTest::addColumn<bool>("twoD");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("nCells");
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<QPoint>("topLeft");
        // Left edge 255 - N / 2 - 2 and top 110 - N / 2 - 2, halves to the even pixel.
        QTest::newRow("1D 200 is capped, box rewritten")
            << false << "200" << 129 << "129" << QPoint(188, 44);
        QTest::newRow("1D 128.5: box as typed")
            << false << "128.5" << 129 << "128.5" << QPoint(188, 44);
        QTest::newRow("1D 127.5 -> 127") << false << "127.5" << 127 << "127.5" << QPoint(190, 44);
        QTest::newRow("1D 101: 202.5 -> 202") << false << "101" << 101 << "101" << QPoint(202, 44);
        QTest::newRow("2D 200 is capped") << true << "200" << 129 << "129" << QPoint(188, 44);
        QTest::newRow("2D 101: 57.5 -> 58") << true << "101" << 101 << "101" << QPoint(202, 58);
        QTest::newRow("2D 127.5: 44.5 -> 44")
            << true << "127.5" << 127 << "127.5" << QPoint(190, 44);
    }
    void fieldSizeBox()
    {
        QFETCH(bool, twoD);
        QFETCH(QString, typed);
        QFETCH(int, nCells);
        QFETCH(QString, boxAfter);
        QFETCH(QPoint, topLeft);
        frmMain w;
        if (twoD)
            gt::click(w.Option1[1]);
        gt::typeInto(w.Text3, typed);
        for (int intake = 0; intake < 2; ++intake) { // the second with the box as it now reads
            QVERIFY(Access::applySettings(w));
            QCOMPARE(w.state.nCells, nCells);
            QCOMPARE(w.Text3->text(), boxAfter);
        }
        const std::size_t n(nCells);
        QCOMPARE(w.state.vB.size(), (twoD ? n * n : n) + 1);
        if (twoD) {
            QCOMPARE(w.Picture3->geometry(), QRect(topLeft, QSize(nCells + 4, nCells + 4)));
            QCOMPARE(w.Picture3->image().size(), QSize(nCells, nCells));
        } else {
            QCOMPARE(w.Picture1->geometry(), QRect(topLeft, QSize(nCells + 4, 66)));
            QCOMPARE(w.Picture2->geometry(), QRect(topLeft + QPoint(0, 66), QSize(nCells + 4, 66)));
            QCOMPARE(bits(w.Picture1->scaleRight()), bits(float(nCells)));
        }
    }

    void unchangedBoxesKeepCellsAndRedrawSetA()
    {
        frmMain w;
        gt::click(w.Option1[1]);
        QVERIFY(Access::applySettings(w));
        rd::SimState& s = w.state;
        for (std::size_t k = 0; k < s.uA.size(); ++k) {
            s.uA[k] = float(k % 37) * 0.0625f;
            s.vA[k] = float(k) * 0.5f;
            s.uB[k] = 3.0f - s.uA[k];
            s.vB[k] = -float(k);
        }
        const rd::SimState before = s;
        s.phaseA = rd::kFalse; // as a 2D run leaves it after an odd step, showing set B
        Access::draw2DFromB(w);
        QVERIFY(Access::applySettings(w));
        QCOMPARE(s.phaseA, rd::kTrue);
        for (auto [now, was] : { std::pair { &s.uA, &before.uA }, { &s.vA, &before.vA },
                 { &s.uB, &before.uB }, { &s.vB, &before.vB } })
            QVERIFY(gt::sameBits(*now, *was));
        const QImage shown = w.Picture3->image();
        QCOMPARE(shown, rd::renderField(before.uA.data(), 128, 85.0f));
        QCOMPARE(shown.pixel(1, 0), qRgb(5, 5, 5)); // 0.0625 * 85 = 5.3125
        QCOMPARE(shown.pixel(36, 0), qRgb(191, 191, 191)); // 2.25 * 85 = 191.25

        // In 1D the profiles are redrawn from set A.
        gt::click(w.Option1[0]);
        s.uA[5] = 1.5f;
        s.vA[5] = 3.0f;
        const std::vector<float> uA = s.uA;
        QVERIFY(Access::applySettings(w));
        QVERIFY(gt::sameBits(s.uA, uA));
        QCOMPARE(w.Picture1->point(5, w.Picture1->innerHeight() - 1), qRgb(255, 0, 0));
        QCOMPARE(w.Picture1->point(5, 0), qRgb(255, 255, 255));
        QCOMPARE(w.Picture2->point(5, 1), qRgb(0, 0, 255));
    }

    void smallerFieldIn2DKeepsFlatIndices()
    {
        frmMain w;
        gt::click(w.Option1[1]);
        QVERIFY(Access::applySettings(w));
        rd::SimState& s = w.state;
        // u of old cell (i, j) tells its row modulo 3 and its half of the row, in half steps of
        // the range: grey levels 0, 42, 85, 128, 170, 212.
        for (std::size_t k = 0; k < s.uA.size(); ++k) {
            s.uA[k] = float((k / 128) % 3 + (k % 128 >= 64 ? 3 : 0)) * 0.5f;
            s.vA[k] = float(k);
        }
        const std::vector<float> uA(s.uA.begin(), s.uA.begin() + 4097);
        gt::typeInto(w.Text3, QStringLiteral("64"));
        QVERIFY(Access::applySettings(w));
        QCOMPARE(s.nCells, 64);
        QVERIFY(gt::sameBits(s.uA, uA));
        for (const auto* a : { &s.vA, &s.uB, &s.vB })
            QCOMPARE(a->size(), std::size_t(4097));
        QCOMPARE(s.vA[4096], 4096.0f);
        QCOMPARE(w.Picture3->geometry(), QRect(221, 76, 68, 68));
        // New row y holds half of old row y / 2: the left half on even rows, the right on odd.
        const QImage shown = w.Picture3->image();
        const int levels[6] = { 0, 42, 85, 128, 170, 212 };
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int g = levels[(y / 2) % 3 + (y % 2) * 3];
                QCOMPARE(shown.pixel(x, y), qRgb(g, g, g));
            }
    }

    void greyLevelsOnScreen()
    {
        auto w = gt::shownWindow();
        gt::click(w->Option1[1]);
        QVERIFY(Access::applySettings(*w));
        auto cell = [&](int i, int j) -> float& { return w->state.uA[std::size_t(j * 128 + i)]; };
        const std::pair<QPoint, float> cells[]
            = { { { 5, 3 }, 1.5f }, { { 6, 3 }, 3.0f }, { { 7, 3 }, 6.0f }, { { 8, 3 }, -1.0f },
                  { { 9, 3 }, std::numeric_limits<float>::quiet_NaN() }, { { 127, 127 }, 3.0f },
                  { { 0, 0 }, 0.5f } };
        for (auto [at, u] : cells)
            cell(at.x(), at.y()) = u;
        QVERIFY(Access::applySettings(*w));
        const QImage screen = w->Picture3->grab().toImage();
        QCOMPARE(screen.size(), QSize(132, 132));
        const int levels[] = { 128, 255, 255, 0, 0, 255, 42 };
        for (int k = 0; k < 7; ++k) {
            const QPoint at = gt::cell(cells[k].first.x(), cells[k].first.y());
            const int g = levels[k];
            QCOMPARE(screen.pixel(at) & 0xffffffu, qRgb(g, g, g) & 0xffffffu);
        }
        QCOMPARE(screen.pixel(gt::cell(1, 0)) & 0xffffffu, 0u);
    }
};

int runStartUpAndIntakeTests(int argc, char** argv)
{
    TestStartUpAndIntake t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_StartUpAndIntake.moc"
