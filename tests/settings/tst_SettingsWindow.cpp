// The settings as the window offers them: the "Function" menu, "1D"/"2D",
// Random and Clear, also during a run. Each test has a fresh window.
#include "engine/Integrators.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

using namespace gt;

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
        // A label repeats its box as typed, once an intake has read it; typing
        // alone does not.
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
        bool stillRunning = false;
        const auto afterChoice = actDuringRun(*w, 4, 7, [&] {
            w->mnuOre->trigger();
            stillRunning = w->state.running && w->Run->text() == "Stop";
        });
        QVERIFY(afterChoice && stillRunning);
        QCOMPARE(afterChoice->phaseA, rd::kTrue); // the intake made set A current
        QCOMPARE(counter(*w), 8); // counting on, not from 1 again
        QVERIFY(stepsLeadTo(*afterChoice, rd::Model::Oregonator, false, 3, *w));
    }

    void randomRangesChangeWithAnIntakeOnly()
    {
        // Random fills set A's cells (not the spare element, not set B) in the
        // middle tenth of the ranges read by the last intake; Clear, an intake,
        // takes typed ranges in.
        for (auto [model, twoD, lo, hi] :
            { std::tuple { 0, false, 1.5f, 1.8f }, { 3, true, 0.5f, 0.6f } }) {
            w = shownWindow();
            menuEntry(*w, rd::Model(model))->trigger();
            if (twoD)
                switchTo2D(*w);
            rd::SimState& s = w->state;
            const std::size_t cells = twoD ? 128 * 128 : 128;
            s.uA.back() = s.vA.back() = 9.0f;
            s.uB.assign(s.uB.size(), 0.125f);
            typeInto(w->Text1[10 * model], QStringLiteral("10"));
            typeInto(w->Text1[10 * model + 1], QStringLiteral("10"));
            for (auto [from, to] : { std::pair { lo, hi }, { 5.0f, 6.0f } }) {
                click(w->Random);
                // The top is reached only by rounding (r * 0.1 + 0.5) * range up for r
                // below 1.
                for (const auto* a : { &s.uA, &s.vA })
                    QVERIFY(std::all_of(a->begin(), a->begin() + cells,
                        [&](float x) { return x >= from && x <= to; }));
                QVERIFY(std::set<float>(s.uA.begin(), s.uA.begin() + cells).size() > cells / 2);
                QVERIFY(bits(s.uA[cells]) == bits(9.0f) && bits(s.vA[cells]) == bits(9.0f));
                QCOMPARE(indicesEqual(s.uB, 1 << 20, 0.125f).size(), cells + 1);
                click(w->Clear);
                QCOMPARE(indicesEqual(s.vA, 1 << 20, 0.0f).size(), cells);
            }
        }
    }

private:
    std::unique_ptr<frmMain> w;
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_SettingsWindow.moc"
