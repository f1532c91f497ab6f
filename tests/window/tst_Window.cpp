#include "display/FieldImage.h"
#include "engine/Integrators.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <vector>

using gt::bits;
using gt::counter;
using gt::sameBits;

namespace {

// Alternating cells at 0 and uMax (a checkerboard in 2D): every step changes the picture.
void seed(frmMain& w, bool twoD)
{
    if (twoD) {
        gt::click(w.Option1[1]);
        QVERIFY(Access::applySettings(w));
    }
    rd::SimState& s = w.state;
    for (std::size_t k = 0; k < s.uA.size(); ++k) {
        s.uA[k] = (k + (twoD ? k / 128 : 0)) % 2 ? 3.0f : 0.0f;
        s.vA[k] = 1.0f + float(k % 5) * 0.25f;
    }
    s.uB = s.uA;
    s.vB = s.vA;
}

// The counters shown at the yields that follow a redraw of a 1D run stopped after `steps`.
// The Start click's intake draws the profiles before step 1, so the first yield compares with
// that picture; later ones look for a marker put into the picture at the yield before.
QStringList countersAtRedraws(frmMain& w, int steps, bool& counterRight)
{
    QStringList counters;
    if (!Access::applySettings(w))
        return { QStringLiteral("intake refused") };
    const QImage startPicture = w.Picture1->image();
    const QRgb marker = qRgb(0, 255, 0); // a colour no picture of the window uses
    const int yields = gt::driveRun(w, [&](int yield) {
        // After step n the counter reads n + 1.
        counterRight = counterRight && counter(w) == yield + 1 && w.Run->text() == "Stop";
        const bool redrawn = yield == 1 ? w.Picture1->image() != startPicture
                                        : gt::pixelsOf(w.Picture1->image(), marker).empty();
        if (redrawn)
            counters << QString::number(counter(w));
        w.Picture1->pset(w.Picture1->userX(10), w.Picture1->userY(10), QColor(marker));
        if (yield == steps)
            gt::click(w.Run);
    });
    counterRight = counterRight && yields == steps;
    return counters;
}

} // namespace

// The window's intake and run loop: the field an intake keeps, the counter, the redraw period
// and the set a Stop leaves current. The values an intake gives are the intake's tests.
class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void intakeKeepsCellsRedrawsSetAAndASmallerFieldKeepsFlatIndices()
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
        QVERIFY(Access::applySettings(w)); // unchanged boxes
        QCOMPARE(s.phaseA, rd::kTrue);
        for (auto [now, was] : { std::pair { &s.uA, &before.uA }, { &s.vA, &before.vA },
                 { &s.uB, &before.uB }, { &s.vB, &before.vB } })
            QVERIFY(gt::sameBits(*now, *was));
        QCOMPARE(w.Picture3->image(), rd::renderField(before.uA.data(), 128, 85.0f));

        // The first 64 x 64 elements, read as rows of 64: not the old field's top-left corner.
        const std::vector<float> uA(s.uA.begin(), s.uA.begin() + 4097);
        gt::typeInto(w.Text3, QStringLiteral("64"));
        QVERIFY(Access::applySettings(w));
        QVERIFY(gt::sameBits(s.uA, uA));
        for (const auto* a : { &s.vA, &s.uB, &s.vB })
            QCOMPARE(a->size(), std::size_t(4097));
        QCOMPARE(s.vA[4096], 2048.0f);
        QCOMPARE(w.Picture3->image(), rd::renderField(uA.data(), 64, 85.0f));
    }
    void counterAndRedrawPeriod1D()
    {
        frmMain w;
        seed(w, false);
        bool counterRight = true;
        QCOMPARE(countersAtRedraws(w, 45, counterRight), (QStringList { "21", "41" }));
        QVERIFY(counterRight);
        QCOMPARE(counter(w), 46);
        QCOMPARE(
            std::pair(w.state.running, w.Run->text()), std::pair(rd::kFalse, QString("Start")));
        // One iteration per image: every step, counting from 1 again.
        gt::typeInto(w.Text2, QStringLiteral("1"));
        QCOMPARE(countersAtRedraws(w, 4, counterRight), (QStringList { "2", "3", "4", "5" }));
        QVERIFY(counterRight);
    }

    void stopAfterOddStepsMakesSetACurrent()
    {
        // Redrawn every step, the picture shows the set just written.
        frmMain w;
        seed(w, true);
        gt::typeInto(w.Text2, QStringLiteral("1"));
        const rd::SimState& s = w.state;
        std::vector<float> uA2, uB3;
        QList<bool> phases;
        bool shownRight = true;
        QCOMPARE(gt::driveRun(w,
                     [&](int yield) {
                         phases << (s.phaseA == rd::kTrue);
                         const QImage shown = w.Picture3->image();
                         shownRight = shownRight
                             && shown
                                 == rd::renderField(
                                     rd::currentU(s, rd::Dimension::Two).data(), 128, 85)
                             && shown != rd::renderField((s.phaseA ? s.uB : s.uA).data(), 128, 85);
                         if (yield == 3) { // set A holds step 2, set B the newer step 3
                             uA2 = s.uA;
                             uB3 = s.uB;
                             gt::click(w.Run);
                         }
                     }),
            3);
        QCOMPARE(phases, (QList<bool> { false, true, false }));
        QVERIFY(shownRight);
        QCOMPARE(counter(w), 4);
        QCOMPARE(s.phaseA, rd::kTrue);
        QVERIFY(sameBits(s.uA, uA2) && sameBits(s.uB, uB3) && !sameBits(uA2, uB3));
        QCOMPARE(w.Picture3->image(), rd::renderField(uA2.data(), 128, s.grayScale));
        // The next run's first step reads set A (step 2), not the newer set B.
        rd::SimState fromA = w.state;
        rd::step(fromA, rd::Model::GiererMeinhardt, rd::Dimension::Two);
        QCOMPARE(gt::driveRun(w, [&](int) { gt::click(w.Run); }), 1);
        QVERIFY(sameBits(s.uB, fromA.uB) && sameBits(s.vB, fromA.vB));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_Window.moc"
