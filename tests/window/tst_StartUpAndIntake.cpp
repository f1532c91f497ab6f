#include "tst_StartUpAndIntake.h"

#include "FieldImage.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

using Access = frmMain::TestAccess;
using wt::bitsOf;

namespace {

bool allZeroBits(const std::vector<float>& a)
{
    for (float x : a)
        if (std::bit_cast<std::uint32_t>(x) != 0)
            return false;
    return true;
}

void compareScale(const PictureBox* box, float left, float top, float right, float bottom)
{
    QCOMPARE(bitsOf(box->scaleLeft()), bitsOf(left));
    QCOMPARE(bitsOf(box->scaleTop()), bitsOf(top));
    QCOMPARE(bitsOf(box->scaleRight()), bitsOf(right));
    QCOMPARE(bitsOf(box->scaleBottom()), bitsOf(bottom));
}

} // namespace

void TestStartUpAndIntake::startUpDefaults1D()
{
    frmMain w;
    const rd::SimState& s = w.state;
    QCOMPARE(bitsOf(s.dt), QStringLiteral("0x3f800000"));
    QCOMPARE(bitsOf(s.dx), QStringLiteral("0x3c23d70a")); // 0.0099999998
    QCOMPARE(s.itersPerImage, 20);
    QCOMPARE(s.lastIdx, 127);
    QCOMPARE(s.nCells, 128);
    QCOMPARE(s.lastInner, 126);
    for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB }) {
        QCOMPARE(a->size(), std::size_t(129));
        QVERIFY(allZeroBits(*a));
    }
    QCOMPARE(bitsOf(s.uMax), bitsOf(3.0f));
    QCOMPARE(bitsOf(s.vMax), bitsOf(3.0f));
    QCOMPARE(bitsOf(s.reactGain), QStringLiteral("0x3c23d70a")); // 0.01f
    QCOMPARE(bitsOf(s.Du), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.Dv), bitsOf(20.0f));
    QCOMPARE(bitsOf(s.kA), QStringLiteral("0x3dcccccd")); // 0.1f
    QCOMPARE(bitsOf(s.kB), bitsOf(1.5f));
    QCOMPARE(bitsOf(s.kC), bitsOf(0.5f));
    // The diffusion numbers come from dx = 0.0099999998, not 0.01: cu is one unit in the
    // last place above 0.01f.
    QCOMPARE(bitsOf(s.cu), QStringLiteral("0x3c23d70b")); // 0.0100000007
    QCOMPARE(bitsOf(s.cv), QStringLiteral("0x3e4ccccd")); // 0.200000003
    QCOMPARE(bitsOf(s.grayScale), bitsOf(85.0f));
    QCOMPARE(bitsOf(s.su), QStringLiteral("0x3f7ae148")); // 0.980000019
    QCOMPARE(bitsOf(s.sv), QStringLiteral("0x3f19999a")); // 0.600000024
    QCOMPARE(s.running, rd::kFalse);
    QCOMPARE(s.phaseA, rd::kTrue);
    QCOMPARE(s.paintU, rd::kTrue);

    QCOMPARE(w.Picture1->geometry(), QRect(189, 44, 132, 66));
    QCOMPARE(w.Picture2->geometry(), QRect(189, 110, 132, 66));
    QCOMPARE(w.Picture1->innerWidth(), 128);
    // Start-up leaves the profiles' right edge at lastIdx; the next intake in 1D puts nCells.
    compareScale(w.Picture1, 0.0f, 3.0f, 127.0f, 0.0f);
    compareScale(w.Picture2, 0.0f, 3.0f, 127.0f, 0.0f);
    for (const PictureBox* box : w.Picture4x)
        compareScale(box, 0.0f, 3.0f, 3.0f, 0.0f);
    QVERIFY(!w.Picture3->hasUserScale());

    wt::typeInto(w.Text1[1], QStringLiteral("2")); // vMax of the checked model
    QVERIFY(Access::applySettings(w));
    compareScale(w.Picture1, 0.0f, 3.0f, 128.0f, 0.0f);
    compareScale(w.Picture2, 0.0f, 2.0f, 128.0f, 0.0f);
    compareScale(w.Picture40, 0.0f, 2.0f, 3.0f, 0.0f);
    compareScale(w.Picture41, 0.0f, 3.0f, 3.0f, 0.0f);
    QCOMPARE(w.Picture1->geometry(), QRect(189, 44, 132, 66));
    QCOMPARE(w.Label2->text(), QStringLiteral("0"));
}

void TestStartUpAndIntake::defaults2D()
{
    frmMain w;
    wt::choose(w, 1);
    QVERIFY(w.Option1[1]->isChecked());
    QVERIFY(Access::applySettings(w));
    const rd::SimState& s = w.state;
    for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB }) {
        QCOMPARE(a->size(), std::size_t(16385));
        QVERIFY(allZeroBits(*a));
    }
    QCOMPARE(bitsOf(s.cu), QStringLiteral("0x3c23d70b"));
    QCOMPARE(bitsOf(s.su), QStringLiteral("0x3f75c28f")); // 0.959999979
    // One unit in the last place below 0.2f: 1 - 4 * 0.200000003 in double, then single.
    QCOMPARE(bitsOf(s.sv), QStringLiteral("0x3e4ccccc")); // 0.199999988
    QCOMPARE(w.Picture3->geometry(), QRect(189, 44, 132, 132));
    QCOMPARE(w.Picture3->innerWidth(), 128);
    QCOMPARE(w.Picture3->innerHeight(), 128);
    QVERIFY(!w.Picture3->hasUserScale());
    QCOMPARE(w.Picture3->image().size(), QSize(128, 128));
    QVERIFY(w.Picture3->isVisibleTo(&w));
    QVERIFY(!w.Picture1->isVisibleTo(&w));
}

void TestStartUpAndIntake::grayScottDefaultsAndCopiedLabel()
{
    frmMain w;
    QCOMPARE(w.Label1[63]->text(), QStringLiteral("F"));
    w.mnuGS->trigger();
    QVERIFY(w.mnuGS->isChecked());
    const rd::SimState& s = w.state;
    QCOMPARE(bitsOf(s.uMax), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.vMax), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.reactGain), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.Du), bitsOf(10.0f));
    QCOMPARE(bitsOf(s.Dv), bitsOf(20.0f));
    QCOMPARE(bitsOf(s.kA), QStringLiteral("0x3d23d70a")); // 0.04f
    QCOMPARE(bitsOf(s.kB), QStringLiteral("0x3d75c28f")); // 0.06f
    QCOMPARE(bitsOf(s.kC), bitsOf(0.5f)); // not read: the start-up model's value stays
    QCOMPARE(bitsOf(s.cu), QStringLiteral("0x3dcccccd")); // 0.1f
    QCOMPARE(bitsOf(s.cv), QStringLiteral("0x3e4ccccd"));
    QCOMPARE(bitsOf(s.su), QStringLiteral("0x3f4ccccd")); // 0.8f
    QCOMPARE(bitsOf(s.grayScale), bitsOf(255.0f));
    QCOMPARE(w.Label1[63]->text(), QStringLiteral("0.04"));
    compareScale(w.Picture42, 0.0f, 1.0f, 1.0f, 0.0f);
    compareScale(w.Picture40, 0.0f, 3.0f, 3.0f, 0.0f);

    // The label shows the box as typed, not the number read from it.
    const QString typed = QStringLiteral("0.0400  ");
    wt::typeInto(w.Text1[25], typed);
    QCOMPARE(w.Label1[63]->text(), QStringLiteral("0.04")); // typing alone changes nothing
    QVERIFY(Access::applySettings(w));
    QCOMPARE(w.Label1[63]->text(), typed);
    QCOMPARE(bitsOf(s.kA), QStringLiteral("0x3d23d70a"));
    wt::typeInto(w.Text1[25], QStringLiteral("+4e-2"));
    QVERIFY(Access::applySettings(w));
    QCOMPARE(w.Label1[63]->text(), QStringLiteral("+4e-2"));
    QCOMPARE(bitsOf(s.kA), QStringLiteral("0x3d23d70a"));
    QCOMPARE(w.Label1[102]->text(), QStringLiteral("8e-4"));
}

void TestStartUpAndIntake::oregonatorDefaultsAndCopiedLabel()
{
    frmMain w;
    wt::typeInto(w.Text1[37], QStringLiteral("8.00E-4"));
    w.mnuOre->trigger();
    QVERIFY(w.mnuOre->isChecked());
    QVERIFY(!w.mnuOre->isEnabled());
    const rd::SimState& s = w.state;
    QCOMPARE(bitsOf(s.uMax), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.vMax), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.reactGain), QStringLiteral("0x3a83126f")); // 0.001f
    QCOMPARE(bitsOf(s.Du), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.Dv), bitsOf(20.0f));
    QCOMPARE(bitsOf(s.kC), QStringLiteral("0x3c23d70a")); // 0.01f
    QCOMPARE(bitsOf(s.kA), bitsOf(1.0f));
    QCOMPARE(bitsOf(s.kB), QStringLiteral("0x3a51b717")); // 0.0008f
    QCOMPARE(bitsOf(s.grayScale), bitsOf(255.0f));
    QCOMPARE(w.Label1[102]->text(), QStringLiteral("8.00E-4"));
    compareScale(w.Picture43, 0.0f, 1.0f, 1.0f, 0.0f);
    compareScale(w.Picture41, 0.0f, 3.0f, 3.0f, 0.0f);

    wt::typeInto(w.Text1[37], QStringLiteral("8e-4"));
    QVERIFY(Access::applySettings(w));
    QCOMPARE(w.Label1[102]->text(), QStringLiteral("8e-4"));
    QCOMPARE(w.Label1[63]->text(), QStringLiteral("F"));
}

void TestStartUpAndIntake::fieldSizeBox_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("nCells");
    QTest::addColumn<QString>("boxAfter");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top"); // 2D only
    // Left edge 255 - N / 2 - 2 and top 110 - N / 2 - 2, halves to the even pixel.
    QTest::newRow("1D 200 is capped at 129, box rewritten")
        << 0 << "200" << 129 << "129" << 188 << 0;
    QTest::newRow("1D 129 is left alone") << 0 << "129" << 129 << "129" << 188 << 0;
    QTest::newRow("1D 128.5: 127.5 -> 128, box as typed")
        << 0 << "128.5" << 129 << "128.5" << 188 << 0;
    QTest::newRow("1D 127.5: 126.5 -> 126") << 0 << "127.5" << 127 << "127.5" << 190 << 0;
    QTest::newRow("1D 101: left 202.5 -> 202") << 0 << "101" << 101 << "101" << 202 << 0;
    QTest::newRow("2D 200 is capped at 129") << 1 << "200" << 129 << "129" << 188 << 44;
    QTest::newRow("2D 101: 202.5 -> 202, 57.5 -> 58") << 1 << "101" << 101 << "101" << 202 << 58;
    QTest::newRow("2D 127.5: 189.5 -> 190, 44.5 -> 44")
        << 1 << "127.5" << 127 << "127.5" << 190 << 44;
}

void TestStartUpAndIntake::fieldSizeBox()
{
    QFETCH(int, option);
    QFETCH(QString, typed);
    QFETCH(int, nCells);
    QFETCH(QString, boxAfter);
    QFETCH(int, left);
    QFETCH(int, top);
    frmMain w;
    if (option == 1)
        wt::choose(w, 1);
    wt::typeInto(w.Text3, typed);
    QVERIFY(Access::applySettings(w));
    const rd::SimState& s = w.state;
    QCOMPARE(s.nCells, nCells);
    QCOMPARE(s.lastIdx, nCells - 1);
    QCOMPARE(s.lastInner, nCells - 2);
    QCOMPARE(w.Text3->text(), boxAfter);
    const std::size_t elements
        = option == 0 ? std::size_t(nCells) + 1 : std::size_t(nCells) * std::size_t(nCells) + 1;
    for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
        QCOMPARE(a->size(), elements);
    const int side = nCells + 4;
    if (option == 0) {
        QCOMPARE(w.Picture1->geometry(), QRect(left, 44, side, 66));
        QCOMPARE(w.Picture2->geometry(), QRect(left, 110, side, 66));
        QCOMPARE(w.Picture1->innerWidth(), nCells);
        QCOMPARE(bitsOf(w.Picture1->scaleRight()), bitsOf(float(nCells)));
        QCOMPARE(w.Picture3->geometry(), QRect(189, 44, 132, 132));
    } else {
        QCOMPARE(w.Picture3->geometry(), QRect(left, top, side, side));
        QCOMPARE(w.Picture3->image().size(), QSize(nCells, nCells));
        QCOMPARE(w.Picture1->geometry(), QRect(189, 44, 132, 66));
    }
    // A second intake with the box as it now reads changes nothing.
    QVERIFY(Access::applySettings(w));
    QCOMPARE(s.nCells, nCells);
    QCOMPARE(w.Text3->text(), boxAfter);
}

void TestStartUpAndIntake::iterationBoxRoundsHalfToEven_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<int>("itersPerImage");
    QTest::newRow("20.5 -> 20") << "20.5" << true << 20;
    QTest::newRow("21.5 -> 22") << "21.5" << true << 22;
    QTest::newRow("-1.5 -> -2") << "-1.5" << true << -2;
    // A redraw period of 0 would fault in the run loop's remainder.
    QTest::newRow("0.5 -> 0 is refused") << "0.5" << false << 20;
}

void TestStartUpAndIntake::iterationBoxRoundsHalfToEven()
{
    QFETCH(QString, typed);
    QFETCH(bool, applied);
    QFETCH(int, itersPerImage);
    frmMain w;
    wt::typeInto(w.Text2, typed);
    QCOMPARE(Access::applySettings(w), applied);
    QCOMPARE(w.state.itersPerImage, itersPerImage);
    QCOMPARE(w.Text2->text(), typed);
}

void TestStartUpAndIntake::unchangedBoxesKeepCellsAndRedrawSetA()
{
    frmMain w;
    wt::choose(w, 1);
    QVERIFY(Access::applySettings(w));
    rd::SimState& s = w.state;
    for (std::size_t k = 0; k < s.uA.size(); ++k) {
        s.uA[k] = static_cast<float>(k % 37) * 0.0625f;
        s.vA[k] = static_cast<float>(k) * 0.5f;
        s.uB[k] = 3.0f - s.uA[k];
        s.vB[k] = -static_cast<float>(k);
    }
    const rd::SimState before = s;
    // Show set B as a 2D run would after an odd step, then run the intake.
    s.phaseA = rd::kFalse;
    Access::draw2DFromB(w);
    QCOMPARE(w.Picture3->image(), rd::renderField(s.uB.data(), 128, s.grayScale));
    QVERIFY(Access::applySettings(w));
    QCOMPARE(s.phaseA, rd::kTrue);
    QCOMPARE(s.uA, before.uA);
    QCOMPARE(s.vA, before.vA);
    QCOMPARE(s.uB, before.uB);
    QCOMPARE(s.vB, before.vB);
    const QImage shown = w.Picture3->image();
    QCOMPARE(shown, rd::renderField(before.uA.data(), 128, 85.0f));
    QCOMPARE(shown.pixel(1, 0), qRgb(5, 5, 5)); // 0.0625 * 85 = 5.3125
    QCOMPARE(shown.pixel(36, 0), qRgb(191, 191, 191)); // 2.25 * 85 = 191.25

    // The same in 1D: the profiles are redrawn from set A, the cells stay.
    wt::choose(w, 0);
    s.uA[5] = 1.5f;
    s.vA[5] = 3.0f;
    const std::vector<float> uA = s.uA, vA = s.vA;
    QVERIFY(Access::applySettings(w));
    QCOMPARE(s.uA, uA);
    QCOMPARE(s.vA, vA);
    const int h = w.Picture1->innerHeight();
    QCOMPARE(w.Picture1->point(5, h - 1), qRgb(255, 0, 0));
    QCOMPARE(w.Picture1->point(5, 0), qRgb(255, 255, 255));
    QCOMPARE(w.Picture2->point(5, 1), qRgb(0, 0, 255));
}

void TestStartUpAndIntake::smallerFieldIn2DKeepsFlatIndices()
{
    frmMain w;
    wt::choose(w, 1);
    QVERIFY(Access::applySettings(w));
    rd::SimState& s = w.state;
    QCOMPARE(s.uA.size(), std::size_t(16385));
    // u of old cell (i, j) tells its row modulo 3 and its half of the row, in half steps of
    // the range: grey levels 0, 42, 85, 128, 170, 212.
    auto oldU = [](int i, int j) { return static_cast<float>(j % 3 + (i >= 64 ? 3 : 0)) * 0.5f; };
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
            s.uA[std::size_t(j * 128 + i)] = oldU(i, j);
    for (std::size_t k = 0; k < s.vA.size(); ++k) {
        s.vA[k] = static_cast<float>(k);
        s.uB[k] = static_cast<float>(k) + 0.5f;
        s.vB[k] = -static_cast<float>(k);
    }
    wt::typeInto(w.Text3, QStringLiteral("64"));
    QVERIFY(Access::applySettings(w));
    QCOMPARE(s.nCells, 64);
    for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
        QCOMPARE(a->size(), std::size_t(4097));
    for (std::size_t k = 0; k <= 4096; ++k) {
        const int i = int(k % 128), j = int(k / 128);
        QCOMPARE(bitsOf(s.uA[k]), bitsOf(oldU(i, j)));
        QCOMPARE(bitsOf(s.vA[k]), bitsOf(static_cast<float>(k)));
        QCOMPARE(bitsOf(s.uB[k]), bitsOf(static_cast<float>(k) + 0.5f));
        QCOMPARE(bitsOf(s.vB[k]), bitsOf(-static_cast<float>(k)));
    }
    QCOMPARE(w.Picture3->geometry(), QRect(221, 76, 68, 68));
    // New row y holds half of old row y / 2: the left half on even rows, the right on odd.
    const QImage shown = w.Picture3->image();
    QCOMPARE(shown.size(), QSize(64, 64));
    const int levels[6] = { 0, 42, 85, 128, 170, 212 };
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int g = levels[(y / 2) % 3 + (y % 2) * 3];
            QCOMPARE(shown.pixel(x, y), qRgb(g, g, g));
        }
}

void TestStartUpAndIntake::greyLevelsOnScreen()
{
    frmMain w;
    wt::choose(w, 1);
    QVERIFY(Access::applySettings(w));
    rd::SimState& s = w.state;
    auto cell = [&](int i, int j) -> float& { return s.uA[std::size_t(j * 128 + i)]; };
    cell(5, 3) = 1.5f; // 127.5 -> 128
    cell(6, 3) = 3.0f; // uMax: white
    cell(7, 3) = 6.0f; // 510: white as well
    cell(8, 3) = -1.0f; // below 0: black
    cell(9, 3) = std::numeric_limits<float>::quiet_NaN();
    cell(127, 127) = 3.0f;
    cell(0, 0) = 0.5f; // 42.5 -> 42, at the top-left pixel of the drawing area
    QVERIFY(Access::applySettings(w));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage screen = w.Picture3->grab().toImage();
    QCOMPARE(screen.size(), QSize(132, 132));
    const int b = PictureBox::kBorderWidth;
    auto at = [&](int i, int j) { return screen.pixel(b + i, b + j) & 0xffffff; };
    QCOMPARE(at(5, 3), qRgb(128, 128, 128) & 0xffffff);
    QCOMPARE(at(6, 3), qRgb(255, 255, 255) & 0xffffff);
    QCOMPARE(at(7, 3), qRgb(255, 255, 255) & 0xffffff);
    QCOMPARE(at(8, 3), 0u);
    QCOMPARE(at(9, 3), 0u);
    QCOMPARE(at(4, 3), 0u);
    QCOMPARE(at(127, 127), qRgb(255, 255, 255) & 0xffffff);
    QCOMPARE(at(0, 0), qRgb(42, 42, 42) & 0xffffff);
    QCOMPARE(at(1, 0), 0u);
}
