#include "tst_RunControl.h"

#include "FieldImage.h"
#include "Integrators.h"
#include "WindowTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <bit>
#include <cstdint>

using Access = frmMain::TestAccess;
using wt::YieldDriver;

namespace {

QString label2(const frmMain& w)
{
    return w.Label2->text();
}

// A line that the first steps change visibly: alternating cells at 0 and uMax.
void seedLine(frmMain& w)
{
    rd::SimState& s = w.state;
    for (std::size_t k = 0; k < s.uA.size(); ++k) {
        s.uA[k] = k % 2 ? 3.0f : 0.0f;
        s.vA[k] = 1.0f + static_cast<float>(k % 5) * 0.25f;
    }
}

// The same for the square: a checkerboard of 0 and uMax, so that every step moves the grey
// levels by about ten.
void seedSquare(frmMain& w)
{
    rd::SimState& s = w.state;
    const int n = s.nCells;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const std::size_t k = std::size_t(j * n + i);
            s.uA[k] = (i + j) % 2 ? 3.0f : 0.0f;
            s.vA[k] = 1.0f + static_cast<float>((i * 7 + j) % 4) * 0.25f;
        }
    s.uB = s.uA;
    s.vB = s.vA;
}

void into2D(frmMain& w)
{
    wt::choose(w, 1);
    QVERIFY(Access::applySettings(w));
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::bit_cast<std::uint32_t>(a[k]) != std::bit_cast<std::uint32_t>(b[k]))
            return false;
    return true;
}

// Which yields of a 1D run follow a redraw, by the counter shown then. The Start click's
// intake draws the profiles before step 1, so the first yield compares with that picture;
// later ones look for a marker put into the picture at the yield before.
QStringList countersAtRedraws(frmMain& w, int steps, bool& counterRight)
{
    QStringList counters;
    seedLine(w);
    if (!Access::applySettings(w))
        return { QStringLiteral("intake refused") };
    const QImage startPicture = w.Picture1->image();
    YieldDriver driver(w, [&](int yield) {
        // After step n the counter reads n + 1; the yield follows the step and its redraw.
        counterRight = counterRight && label2(w) == QString::number(yield + 1)
            && w.Run->text() == QStringLiteral("Stop");
        const bool redrawn = yield == 1 ? w.Picture1->image() != startPicture
                                        : !wt::hasColour(*w.Picture1, wt::kMarker);
        if (redrawn)
            counters << label2(w);
        wt::putMarker(*w.Picture1);
        if (yield == steps)
            wt::clickRun(w);
    });
    driver.clickStart();
    if (driver.tripped() || driver.yields() != steps)
        counters << QStringLiteral("run not stopped after %1 steps").arg(steps);
    return counters;
}

} // namespace

void TestRunControl::counterAndRedrawPeriod1D()
{
    frmMain w;
    bool counterRight = true;
    QCOMPARE(countersAtRedraws(w, 45, counterRight), (QStringList { "21", "41" }));
    QVERIFY(counterRight);
    QCOMPARE(label2(w), QStringLiteral("46"));
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.state.running, rd::kFalse);

    // With one iteration per image every step is drawn.
    wt::typeInto(w.Text2, QStringLiteral("1"));
    QCOMPARE(countersAtRedraws(w, 4, counterRight), (QStringList { "2", "3", "4", "5" }));
    QVERIFY(counterRight);
    QCOMPARE(w.state.itersPerImage, 1);
}

void TestRunControl::redrawEveryStepShowsTheSetJustWritten2D()
{
    frmMain w;
    into2D(w);
    seedSquare(w);
    wt::typeInto(w.Text2, QStringLiteral("1"));
    bool shownRight = true;
    QList<bool> phases;
    YieldDriver driver(w, [&](int yield) {
        const rd::SimState& s = w.state;
        phases << (s.phaseA == rd::kTrue);
        const std::vector<float>& written = s.phaseA ? s.uA : s.uB;
        const std::vector<float>& older = s.phaseA ? s.uB : s.uA;
        const QImage shown = w.Picture3->image();
        shownRight = shownRight && shown == rd::renderField(written.data(), 128, s.grayScale)
            && shown != rd::renderField(older.data(), 128, s.grayScale);
        if (yield == 4)
            wt::clickRun(w);
    });
    driver.clickStart();
    QVERIFY(!driver.tripped());
    QCOMPARE(phases, (QList<bool> { false, true, false, true }));
    QVERIFY(shownRight);
}

void TestRunControl::stopAfterOddStepsMakesSetACurrent()
{
    frmMain w;
    into2D(w);
    seedSquare(w);
    std::vector<float> uA2, vA2, uB3, vB3;
    YieldDriver driver(w, [&](int yield) {
        if (yield == 3) {
            // Set A holds step 2, set B the newer step 3.
            QCOMPARE(w.state.phaseA, rd::kFalse);
            uA2 = w.state.uA;
            vA2 = w.state.vA;
            uB3 = w.state.uB;
            vB3 = w.state.vB;
            wt::clickRun(w);
        }
    });
    driver.clickStart();
    QVERIFY(!driver.tripped());
    QCOMPARE(driver.yields(), 3);
    QCOMPARE(label2(w), QStringLiteral("4"));
    const rd::SimState& s = w.state;
    QCOMPARE(s.phaseA, rd::kTrue);
    QVERIFY(sameBits(s.uA, uA2));
    QVERIFY(sameBits(s.uB, uB3));
    QVERIFY(!sameBits(uA2, uB3));
    const QImage shown = w.Picture3->image();
    QCOMPARE(shown, rd::renderField(uA2.data(), 128, s.grayScale));
    QVERIFY(shown != rd::renderField(uB3.data(), 128, s.grayScale));

    // The next run's first step reads set A (step 2), not the newer set B.
    rd::SimState fromA = w.state;
    rd::Step2DFromA(fromA, rd::Model::GiererMeinhardt);
    rd::SimState fromB = w.state;
    fromB.phaseA = rd::kFalse;
    rd::Step2DFromB(fromB, rd::Model::GiererMeinhardt);
    YieldDriver next(w, [&](int yield) {
        if (yield == 1) {
            QCOMPARE(label2(w), QStringLiteral("2"));
            QCOMPARE(w.state.phaseA, rd::kFalse);
            wt::clickRun(w);
        }
    });
    next.clickStart();
    QVERIFY(!next.tripped());
    QVERIFY(sameBits(s.uB, fromA.uB));
    QVERIFY(sameBits(s.vB, fromA.vB));
    QVERIFY(!sameBits(s.uB, fromB.uA));
}

void TestRunControl::everyRunCountsFromOne()
{
    frmMain w;
    seedLine(w);
    QStringList afterFirstStep;
    int firstYield = 1, lastYield = 7;
    YieldDriver driver(w, [&](int yield) {
        if (yield == firstYield)
            afterFirstStep << label2(w);
        if (yield == lastYield)
            wt::clickRun(w);
    });
    driver.clickStart();
    QCOMPARE(label2(w), QStringLiteral("8"));
    firstYield = 8;
    lastYield = 10;
    driver.clickStart();
    QVERIFY(!driver.tripped());
    QCOMPARE(driver.yields(), 10);
    QCOMPARE(afterFirstStep, (QStringList { "2", "2" }));
    QCOMPARE(label2(w), QStringLiteral("4"));
}

void TestRunControl::startInTheSameYieldAsStopNestsALoop()
{
    frmMain w;
    seedLine(w);
    QVERIFY(Access::applySettings(w));
    // The line after five steps, stepped on a copy with the same coefficients.
    rd::SimState expected = w.state;
    for (int k = 0; k < 5; ++k)
        rd::Step1D(expected, rd::Model::GiererMeinhardt);

    QStringList counters;
    int depth = 0;
    YieldDriver driver(w, [&](int yield) {
        counters << label2(w);
        if (yield == 3) {
            // Stop and Start in one yield: the Start runs a second loop inside this one.
            wt::clickRun(w);
            QCOMPARE(w.Run->text(), QStringLiteral("Start"));
            ++depth;
            wt::clickRun(w);
            --depth;
            // The inner loop has ended; the outer one checks running once it resumes.
            QCOMPARE(w.state.running, rd::kFalse);
        } else if (depth == 1 && label2(w) == QStringLiteral("3")) {
            QCOMPARE(w.Run->text(), QStringLiteral("Stop"));
            wt::clickRun(w);
        }
    });
    driver.clickStart();
    QVERIFY(!driver.tripped());
    QCOMPARE(counters, (QStringList { "2", "3", "4", "2", "3" }));
    QCOMPARE(label2(w), QStringLiteral("3"));
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    // Three outer steps and two inner ones, and no step after the inner loop returned.
    QVERIFY(sameBits(w.state.uA, expected.uA));
    QVERIFY(sameBits(w.state.vA, expected.vA));
}

void TestRunControl::stopThatIsRefusedStillStops()
{
    frmMain w;
    seedLine(w);
    YieldDriver driver(w, [&](int yield) {
        if (yield == 2) {
            wt::typeInto(w.Text2, QStringLiteral("many"));
            wt::clickRun(w);
        }
    });
    driver.clickStart();
    QVERIFY(!driver.tripped());
    QCOMPARE(driver.yields(), 2);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.state.running, rd::kFalse);
    QVERIFY(w.lastMessage.contains(QStringLiteral("Iteration / Image")));
    QCOMPARE(w.state.itersPerImage, 20);
    // A Start with the bad box starts nothing.
    wt::clickRun(w);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(label2(w), QStringLiteral("3"));
}

void TestIterationLimit::endsAfterAMillionWithStopCaption()
{
    frmMain w;
    wt::typeInto(w.Text3, QStringLiteral("2"));
    QVERIFY(Access::applySettings(w));
    w.state.uA = { 1.0f, 2.0f, 0.0f };
    w.state.vA = { 1.0f, 1.5f, 0.0f };
    // Never let the test hang: a loop still going after the bound is stopped and fails below.
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardFired = true;
        w.state.running = rd::kFalse;
    });
    guard.start(300000);
    QElapsedTimer clock;
    clock.start();
    wt::clickRun(w);
    qInfo("1,000,000 iterations of N = 2 took %lld ms", static_cast<long long>(clock.elapsed()));
    QVERIFY(!guardFired);
    guard.stop();
    QCOMPARE(w.Label2->text(), QStringLiteral("1000001"));
    QCOMPARE(w.Run->text(), QStringLiteral("Stop"));
    QCOMPARE(w.state.running, rd::kTrue);

    // The next click is a Stop that starts nothing.
    const std::vector<float> uA = w.state.uA;
    clock.restart();
    wt::clickRun(w);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.state.running, rd::kFalse);
    QCOMPARE(w.Label2->text(), QStringLiteral("1000001"));
    QVERIFY(sameBits(w.state.uA, uA));
}
