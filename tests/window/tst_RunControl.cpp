#include "FieldImage.h"
#include "GuiTestSupport.h"
#include "Integrators.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

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

class TestRunControl : public QObject {
    Q_OBJECT

private slots:
    void counterAndRedrawPeriod1D()
    {
        frmMain w;
        seed(w, false);
        bool counterRight = true;
        QCOMPARE(countersAtRedraws(w, 45, counterRight), (QStringList { "21", "41" }));
        QVERIFY(counterRight);
        QCOMPARE(counter(w), 46);
        QCOMPARE(w.Run->text(), QStringLiteral("Start"));
        QCOMPARE(w.state.running, rd::kFalse);
        gt::typeInto(w.Text2, QStringLiteral("1")); // one iteration per image: every step
        QCOMPARE(countersAtRedraws(w, 4, counterRight), (QStringList { "2", "3", "4", "5" }));
        QVERIFY(counterRight);
    }

    void redrawEveryStepShowsTheSetJustWritten2D()
    {
        frmMain w;
        seed(w, true);
        gt::typeInto(w.Text2, QStringLiteral("1"));
        bool shownRight = true;
        QList<bool> phases;
        const int yields = gt::driveRun(w, [&](int yield) {
            const rd::SimState& s = w.state;
            phases << (s.phaseA == rd::kTrue);
            const QImage shown = w.Picture3->image();
            shownRight = shownRight
                && shown == rd::renderField((s.phaseA ? s.uA : s.uB).data(), 128, s.grayScale)
                && shown != rd::renderField((s.phaseA ? s.uB : s.uA).data(), 128, s.grayScale);
            if (yield == 4)
                gt::click(w.Run);
        });
        QCOMPARE(yields, 4);
        QCOMPARE(phases, (QList<bool> { false, true, false, true }));
        QVERIFY(shownRight);
    }

    void stopAfterOddStepsMakesSetACurrent()
    {
        frmMain w;
        seed(w, true);
        std::vector<float> uA2, uB3;
        QCOMPARE(gt::driveRun(w,
                     [&](int yield) {
                         if (yield == 3) { // set A holds step 2, set B the newer step 3
                             uA2 = w.state.uA;
                             uB3 = w.state.uB;
                             gt::click(w.Run);
                         }
                     }),
            3);
        const rd::SimState& s = w.state;
        QCOMPARE(counter(w), 4);
        QCOMPARE(s.phaseA, rd::kTrue);
        QVERIFY(sameBits(s.uA, uA2) && sameBits(s.uB, uB3) && !sameBits(uA2, uB3));
        QCOMPARE(w.Picture3->image(), rd::renderField(uA2.data(), 128, s.grayScale));

        // The next run's first step reads set A (step 2), not the newer set B.
        rd::SimState fromA = w.state;
        rd::Step2DFromA(fromA, rd::Model::GiererMeinhardt);
        rd::Bool16 phase = rd::kTrue;
        QCOMPARE(gt::driveRun(w,
                     [&](int) {
                         phase = s.phaseA;
                         gt::click(w.Run);
                     }),
            1);
        QCOMPARE(counter(w), 2);
        QCOMPARE(phase, rd::kFalse);
        QVERIFY(sameBits(s.uB, fromA.uB) && sameBits(s.vB, fromA.vB));
    }

    void everyRunCountsFromOne()
    {
        frmMain w;
        seed(w, false);
        QStringList afterFirstStep;
        for (int steps : { 7, 3 }) {
            gt::driveRun(w, [&](int yield) {
                if (yield == 1)
                    afterFirstStep << QString::number(counter(w));
                if (yield == steps)
                    gt::click(w.Run);
            });
            QCOMPARE(counter(w), steps + 1);
        }
        QCOMPARE(afterFirstStep, (QStringList { "2", "2" }));
    }

    void startInTheSameYieldAsStopNestsALoop()
    {
        frmMain w;
        seed(w, false);
        QVERIFY(Access::applySettings(w));
        rd::SimState expected = w.state; // five steps with the same coefficients
        for (int k = 0; k < 5; ++k)
            rd::Step1D(expected, rd::Model::GiererMeinhardt);
        QList<int> counters;
        int depth = 0;
        const int yields = gt::driveRun(w, [&](int yield) {
            counters << counter(w);
            if (yield == 3) {
                // Stop and Start in one yield: the Start runs a second loop inside this one.
                gt::click(w.Run);
                ++depth;
                gt::click(w.Run);
                --depth;
                // The inner loop has ended; the outer one checks running once it resumes.
                QCOMPARE(w.state.running, rd::kFalse);
            } else if (depth == 1 && counter(w) == 3) {
                gt::click(w.Run);
            }
        });
        QCOMPARE(yields, 5);
        QCOMPARE(counters, (QList<int> { 2, 3, 4, 2, 3 }));
        QCOMPARE(w.Run->text(), QStringLiteral("Start"));
        // Three outer steps and two inner ones, and no step after the inner loop returned.
        QVERIFY(sameBits(w.state.uA, expected.uA) && sameBits(w.state.vA, expected.vA));
    }
};

// The run to the iteration limit, on its own because it takes seconds.
class TestIterationLimit : public QObject {
    Q_OBJECT

private slots:
    void endsAfterAMillionWithStopCaption()
    {
        frmMain w;
        gt::typeInto(w.Text3, QStringLiteral("2"));
        QVERIFY(Access::applySettings(w));
        w.state.uA = { 1.0f, 2.0f, 0.0f };
        w.state.vA = { 1.0f, 1.5f, 0.0f };
        bool guardFired = false; // a loop still going after the bound is stopped and fails
        QTimer::singleShot(300000, &w, [&] {
            guardFired = true;
            w.state.running = rd::kFalse;
        });
        QElapsedTimer clock;
        clock.start();
        gt::click(w.Run);
        qInfo(
            "1,000,000 iterations of N = 2 took %lld ms", static_cast<long long>(clock.elapsed()));
        QVERIFY(!guardFired);
        QCOMPARE(w.Label2->text(), QStringLiteral("1000001"));
        QCOMPARE(w.Run->text(), QStringLiteral("Stop"));
        QCOMPARE(w.state.running, rd::kTrue);
        // The next click is a Stop that starts nothing.
        const std::vector<float> uA = w.state.uA;
        clock.restart();
        gt::click(w.Run);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(w.Run->text(), QStringLiteral("Start"));
        QCOMPARE(w.Label2->text(), QStringLiteral("1000001"));
        QVERIFY(sameBits(w.state.uA, uA));
    }
};

int runRunControlTests(int argc, char** argv)
{
    TestRunControl t;
    return QTest::qExec(&t, argc, argv);
}

int runIterationLimitTest(int argc, char** argv)
{
    TestIterationLimit t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_RunControl.moc"
