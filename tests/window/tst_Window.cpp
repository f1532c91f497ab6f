#include "display/FieldImage.h"
#include "engine/Integrators.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <vector>

using gt::bits;
using gt::counter;
using gt::sameBits;

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
        QCOMPARE((std::array { s.running, s.phaseA, s.paintU }),
            (std::array { rd::kFalse, rd::kTrue, rd::kTrue }));
        for (const auto* a : { &s.uA, &s.vA, &s.uB, &s.vB })
            QCOMPARE(gt::indicesEqual(*a, 200, 0.0f).size(), std::size_t(129));
        // Start-up leaves the profiles' right edge at lastIdx; an intake in 1D puts nCells.
        QCOMPARE(scaleBits(w.Picture1), scale(0, 3, 127, 0));
        for (const PictureBox* box : w.Picture4x)
            QCOMPARE(scaleBits(box), scale(0, 3, 3, 0));
        gt::typeInto(w.Text1[1], QStringLiteral("2")); // vMax of the checked model
        QVERIFY(Access::applySettings(w));
        QCOMPARE(scaleBits(w.Picture1), scale(0, 3, 128, 0));
        QCOMPARE(scaleBits(w.Picture2), scale(0, 2, 128, 0));
        QCOMPARE(scaleBits(w.Picture40), scale(0, 2, 3, 0));
        QCOMPARE(scaleBits(w.Picture41), scale(0, 3, 3, 0));
        gt::click(w.Option1[1]);
        QVERIFY(Access::applySettings(w));
        QCOMPARE(s.uB.size(), std::size_t(16385));
        QVERIFY(w.Picture3->isVisibleTo(&w) && !w.Picture1->isVisibleTo(&w));
        QVERIFY(!w.Picture3->hasUserScale());
    }

    void fieldSizeBox()
    {
        // Left edge 255 - N / 2 - 2 and top 110 - N / 2 - 2, halves to the even pixel; a size
        // above 129 is capped and the box rewritten.
        const std::tuple<bool, const char*, int, const char*, QPoint> cases[] = {
            { false, "200", 129, "129", { 188, 44 } },
            { false, "127.5", 127, "127.5", { 190, 44 } },
            { true, "200", 129, "129", { 188, 44 } },
            { true, "101", 101, "101", { 202, 58 } },
        };
        for (auto [twoD, typed, nCells, boxAfter, topLeft] : cases) {
            frmMain w;
            gt::click(w.Option1[twoD ? 1 : 0]);
            gt::typeInto(w.Text3, QString::fromLatin1(typed));
            for (int intake = 0; intake < 2; ++intake) { // the second with the box as it reads
                QVERIFY(Access::applySettings(w));
                QCOMPARE(w.state.nCells, nCells);
                QCOMPARE(w.Text3->text(), QString::fromLatin1(boxAfter));
            }
            const std::size_t n(nCells);
            QCOMPARE(w.state.vB.size(), (twoD ? n * n : n) + 1);
            PictureBox* box = twoD ? w.Picture3 : w.Picture2;
            QCOMPARE(box->geometry(),
                QRect(
                    topLeft + QPoint(0, twoD ? 0 : 66), QSize(nCells + 4, twoD ? nCells + 4 : 66)));
            QCOMPARE(box->image().size(), QSize(nCells, twoD ? nCells : 62));
        }
    }

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
};

namespace {

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
        gt::step(fromA, rd::Model::GiererMeinhardt, false);
        QCOMPARE(gt::driveRun(w, [&](int) { gt::click(w.Run); }), 1);
        QVERIFY(sameBits(s.uB, fromA.uB) && sameBits(s.vB, fromA.vB));
    }

    void startInTheSameYieldAsStopNestsALoop()
    {
        frmMain w;
        seed(w, false);
        QVERIFY(Access::applySettings(w));
        rd::SimState expected = w.state; // five steps with the same coefficients
        for (int k = 0; k < 5; ++k)
            gt::step(expected, rd::Model::GiererMeinhardt, true);
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
        // The next click is a Stop that steps no more.
        const std::vector<float> uA = w.state.uA;
        gt::click(w.Run);
        QCOMPARE(w.Run->text(), QStringLiteral("Start"));
        QCOMPARE(w.Label2->text(), QStringLiteral("1000001"));
        QVERIFY(sameBits(w.state.uA, uA));
    }
};

// "--iteration-limit" as the first argument runs the long run to the iteration limit only;
// the other arguments go to QtTest.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::vector<char*> args(argv, argv + argc);
    const bool limitOnly = args.size() > 1 && std::strcmp(args[1], "--iteration-limit") == 0;
    if (limitOnly)
        args.erase(args.begin() + 1);
    const int n = static_cast<int>(args.size());
    if (limitOnly) {
        TestIterationLimit t;
        return QTest::qExec(&t, n, args.data()) == 0 ? 0 : 1;
    }
    TestStartUpAndIntake intake;
    TestRunControl run;
    const int failed = QTest::qExec(&intake, n, args.data()) + QTest::qExec(&run, n, args.data());
    return failed == 0 ? 0 : 1;
}

#include "tst_Window.moc"
