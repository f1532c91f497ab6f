// The settings as the window offers them: the "Function" menu, "1D"/"2D", Random and Clear,
// also during a run. Each test has a fresh window.
#include "engine/Integrators.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

using namespace gt;

namespace {

// Every cell of set A in [lo, hi) for u and v, many distinct; the spare element and set B as
// they were.
void checkRandomField(const rd::SimState& s, std::size_t cells, float lo, float hi, float spare)
{
    QCOMPARE(s.uA.size(), cells + 1);
    std::set<float> distinct;
    // The top is reached only by rounding: (r * 0.1 + 0.5) * range for r just below 1 can
    // round up to exactly the top in single precision.
    for (std::size_t k = 0; k < cells; ++k) {
        QVERIFY2(s.uA[k] >= lo && s.uA[k] <= hi && s.vA[k] >= lo && s.vA[k] <= hi,
            qPrintable(QStringLiteral("%1 %2").arg(s.uA[k]).arg(s.vA[k])));
        distinct.insert(s.uA[k]);
    }
    QVERIFY(distinct.size() > cells / 2);
    QVERIFY(bits(s.uA[cells]) == bits(spare) && bits(s.vA[cells]) == bits(spare));
    QCOMPARE(
        indicesEqual(s.uB, 1 << 20, 0.125f).size() + indicesEqual(s.vB, 1 << 20, 0.125f).size(),
        2 * cells + 2);
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { w = shownWindow(); }
    void cleanup() { w.reset(); }

    void menuChoicesAndMirroredLabels()
    {
        const auto e = std::array { w->mnuGM, w->mnuSch, w->mnuGS, w->mnuOre };
        for (int chosen : { 2, 1, 3, 0, 3 }) {
            e[chosen]->trigger();
            for (int m = 0; m < 4; ++m)
                QCOMPARE(
                    std::tuple(e[m]->isChecked(), e[m]->isEnabled(), w->Frame1[m]->isVisible()),
                    std::tuple(m == chosen, m != chosen, m == chosen));
        }
        // A label repeats its box as typed, once an intake has read it; typing alone does not.
        const QString before = w->Label1[63]->text();
        typeInto(w->Text1[25], QStringLiteral(" 0.0400 "));
        QCOMPARE(w->Label1[63]->text(), before);
        e[2]->trigger();
        QCOMPARE(w->Label1[63]->text(), QStringLiteral(" 0.0400 "));
        QCOMPARE(bits(w->state.kA), bits(0.04f));
        QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 129 }); // field kept
    }

    void modelChoiceDuringA2DRun()
    {
        switchTo2D(*w);
        click(w->Random);
        rd::SimState afterChoice;
        bool stillRunning = false;
        QCOMPARE(driveRun(*w,
                     [&](int yield) {
                         if (yield == 4) {
                             w->mnuOre->trigger();
                             afterChoice = w->state;
                             stillRunning = w->state.running && w->Run->text() == "Stop";
                         } else if (yield == 7) {
                             click(w->Run);
                         }
                     }),
            7);
        QVERIFY(stillRunning);
        QCOMPARE(afterChoice.phaseA, rd::kTrue); // the intake made set A current
        QCOMPARE(counter(*w), 8); // counting on, not from 1 again
        for (int n = 0; n < 3; ++n)
            step(afterChoice, rd::Model::Oregonator, false);
        QVERIFY(sameBits(w->state.uA, afterChoice.uA) && sameBits(w->state.vA, afterChoice.vA));
        QVERIFY(sameBits(w->state.uB, afterChoice.uB) && sameBits(w->state.vB, afterChoice.vB));
    }

    void dimensionRoundTripKeepsTheLeadingElements()
    {
        auto& s = w->state;
        auto leading = [&](float first) {
            std::vector<float> a(16385, 0.0f);
            for (std::size_t k = 0; k <= 128; ++k)
                a[k] = first + float(k);
            return a;
        };
        for (std::size_t k = 0; k < s.uA.size(); ++k)
            s.uA[k] = s.vB[k] = float(k + 1);
        click(w->Option1[1]);
        QVERIFY(sameBits(s.uA, leading(1)) && sameBits(s.vB, leading(1)));
        QVERIFY(w->Frame3->isVisible() && !w->Picture2->isVisible());
        QCOMPARE(bits(s.su), bits(0.98f)); // the weights wait for the next intake
        for (std::size_t k = 0; k < s.uA.size(); ++k)
            s.uA[k] = float(1000 + k);
        for (int again = 0; again < 2; ++again) { // the second click changes nothing more
            click(w->Option1[0]);
            QCOMPARE(s.uA.size(), std::size_t { 129 });
        }
        QVERIFY(w->Picture1->isVisible() && !w->Frame3->isVisible());
        typeInto(w->Text3, QStringLiteral("64")); // a typed size waits for an intake too
        click(w->Option1[1]);
        QVERIFY(sameBits(s.uA, leading(1000)) && sameBits(s.vB, leading(1)));
    }

    void oneDEndsA2DRun()
    {
        switchTo2D(*w);
        click(w->Random);
        QCOMPARE(driveRun(*w,
                     [&](int yield) {
                         if (yield == 3) { // were an intake run by the switch, these would count
                             typeInto(w->Text2, QStringLiteral("7"));
                             typeInto(w->Text3, QStringLiteral("32"));
                             click(w->Option1[0]);
                         } else if (yield == 4) {
                             click(w->Run); // the switch did not stop the run
                         }
                     }),
            3);
        QCOMPARE(
            std::pair(w->state.running, w->Run->text()), std::pair(rd::kFalse, QString("Start")));
        QCOMPARE(counter(*w), 4); // no step after the switch
        QCOMPARE(w->state.uB.size(), std::size_t { 129 });
        QCOMPARE(std::pair(w->state.itersPerImage, w->state.nCells), std::pair(20, 128));
    }

    void randomRangesChangeWithAnIntakeOnly()
    {
        // Model, 2D, the range of u and v. Random fills set A's cells only; ranges typed
        // count from the next intake (Clear, which zeroes the cells, not the spare element).
        const std::tuple<int, bool, float, float> cases[] = { { 0, false, 1.5f, 1.8f },
            { 1, true, 1.5f, 1.8f }, { 2, false, 0.5f, 0.6f }, { 3, true, 0.5f, 0.6f } };
        for (auto [model, twoD, lo, hi] : cases) {
            w = shownWindow();
            menuEntry(*w, rd::Model(model))->trigger();
            if (twoD)
                switchTo2D(*w);
            const std::size_t cells = twoD ? 128 * 128 : 128;
            w->state.uA.back() = w->state.vA.back() = 9.0f;
            for (auto* a : { &w->state.uB, &w->state.vB })
                a->assign(a->size(), 0.125f);
            w->state.phaseA = rd::kFalse;
            typeInto(w->Text1[10 * model], QStringLiteral("10"));
            typeInto(w->Text1[10 * model + 1], QStringLiteral("10"));
            click(w->Random);
            checkRandomField(w->state, cells, lo, hi, 9.0f);
            QCOMPARE(w->state.phaseA, rd::kFalse);
            const auto first = w->state.uA;
            click(w->Clear);
            QCOMPARE(indicesEqual(w->state.vA, 1 << 20, 0.0f).size(), cells);
            click(w->Random);
            QVERIFY(w->state.uA != first); // reseeded: another field
            checkRandomField(w->state, cells, 5.0f, 6.0f, 9.0f);
        }
    }

private:
    std::unique_ptr<frmMain> w;
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_SettingsWindow.moc"
