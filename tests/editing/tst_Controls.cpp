#include "GuiTestSupport.h"
#include "Integrators.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace gt;

namespace {

std::array<QAction*, 4> entries(const frmMain& w)
{
    return { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre };
}

// Every cell of set A in [lo, hi) for u and v, many distinct; the spare element and set B as
// they were.
void checkRandomField(const frmMain& w, std::size_t cells, float uLo, float uHi, float vLo,
    float vHi, float spare, float setB)
{
    const auto& s = w.state;
    QCOMPARE(s.uA.size(), cells + 1);
    std::set<float> distinct;
    for (std::size_t k = 0; k < cells; ++k) {
        QVERIFY2(s.uA[k] >= uLo && s.uA[k] < uHi, qPrintable(QString::number(s.uA[k])));
        QVERIFY2(s.vA[k] >= vLo && s.vA[k] < vHi, qPrintable(QString::number(s.vA[k])));
        distinct.insert(s.uA[k]);
    }
    QVERIFY(distinct.size() > cells / 2);
    QCOMPARE(bits(s.uA[cells]), bits(spare));
    QCOMPARE(bits(s.vA[cells]), bits(spare));
    QCOMPARE(indicesEqual(s.uB, 1 << 20, setB).size(), cells + 1);
    QCOMPARE(indicesEqual(s.vB, 1 << 20, setB).size(), cells + 1);
}

} // namespace

// The "Function" menu, the "1D"/"2D" options, Random and Clear, also during runs.
class TestControls : public QObject {
    Q_OBJECT

private slots:
    void menuChoicesAndMirroredLabels()
    {
        auto w = shownWindow();
        const auto e = entries(*w);
        QCOMPARE(w->Label1[63]->text(), QStringLiteral("F"));
        for (int chosen : { 2, 1, 3, 0, 3 }) {
            e[chosen]->trigger();
            for (int m = 0; m < 4; ++m) {
                QCOMPARE(e[m]->isChecked(), m == chosen);
                QCOMPARE(e[m]->isEnabled(), m != chosen);
                QCOMPARE(w->Frame1[m]->isVisible(), m == chosen);
            }
        }
        // The intake ran with the chosen model's boxes; labels show a box as typed.
        QCOMPARE(w->checkedModel(), rd::Model::Oregonator);
        QCOMPARE(bits(w->state.kB), bits(8e-4f));
        QCOMPARE(bits(w->state.kC), bits(0.01f));
        QCOMPARE(w->Label1[102]->text(), QStringLiteral("8e-4"));
        typeInto(w->Text1[25], QStringLiteral(" 0.0400 "));
        QCOMPARE(w->Label1[63]->text(), QStringLiteral("0.04")); // typing alone changes nothing
        e[2]->trigger();
        QCOMPARE(w->Label1[63]->text(), QStringLiteral(" 0.0400 "));
        QCOMPARE(bits(w->state.kA), bits(0.04f));
        QCOMPARE(bits(w->state.kC), bits(0.01f)); // not read by Gray-Scott
        QCOMPARE(w->Picture42->scaleTop(), 1.0f); // its panel's plot takes its ranges
        QCOMPARE(w->Picture40->scaleTop(), 3.0f);
        e[0]->trigger();
        QCOMPARE(bits(w->state.kC), bits(0.5f));
        QCOMPARE(bits(w->state.uMax), bits(3.0f));
        // A choice does not touch the field.
        QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 129 });
    }

    void modelChoiceDuringA2DRun()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        click(w->Random);
        rd::SimState afterChoice;
        bool stillRunning = false;
        const int yields = driveRun(*w, [&](int yield) {
            if (yield == 4) {
                w->mnuOre->trigger();
                afterChoice = w->state;
                stillRunning = w->state.running && w->Run->text() == QStringLiteral("Stop");
            } else if (yield == 7) {
                click(w->Run);
            }
        });
        QCOMPARE(yields, 7);
        QVERIFY(stillRunning);
        QCOMPARE(afterChoice.phaseA, rd::kTrue); // the intake made set A current
        QCOMPARE(counter(*w), 8); // counting on, not from 1 again
        for (int n = 0; n < 3; ++n)
            afterChoice.phaseA ? rd::Step2DFromA(afterChoice, rd::Model::Oregonator)
                               : rd::Step2DFromB(afterChoice, rd::Model::Oregonator);
        QVERIFY(sameBits(w->state.uA, afterChoice.uA) && sameBits(w->state.vA, afterChoice.vA));
        QVERIFY(sameBits(w->state.uB, afterChoice.uB) && sameBits(w->state.vB, afterChoice.vB));
    }

    void dimensionRoundTripKeepsTheLeadingElements()
    {
        auto w = shownWindow();
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
        QVERIFY(w->Picture3->isVisible() && w->Frame3->isVisible() && !w->Picture1->isVisible());
        QCOMPARE(bits(s.su), bits(0.98f)); // the weights wait for the next intake
        for (std::size_t k = 0; k < s.uA.size(); ++k)
            s.uA[k] = float(1000 + k);
        click(w->Option1[0]);
        QCOMPARE(s.uA.size(), std::size_t { 129 });
        QVERIFY(w->Picture1->isVisible() && !w->Frame3->isVisible());
        click(w->Option1[0]); // already selected: the same
        QCOMPARE(s.uA.size(), std::size_t { 129 });
        typeInto(w->Text3, QStringLiteral("64")); // a typed size waits for an intake too
        click(w->Option1[1]);
        QVERIFY(sameBits(s.uA, leading(1000)) && sameBits(s.vB, leading(1)));
    }

    void oneDEndsA2DRun()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        click(w->Random);
        const int yields = driveRun(*w, [&](int yield) {
            if (yield == 3) { // were an intake run by the switch, these would take effect
                typeInto(w->Text2, QStringLiteral("7"));
                typeInto(w->Text3, QStringLiteral("32"));
                click(w->Option1[0]);
            } else if (yield == 4) {
                click(w->Run); // the switch did not stop the run
            }
        });
        QCOMPARE(yields, 3);
        QCOMPARE(w->state.running, rd::kFalse);
        QCOMPARE(w->Run->text(), QStringLiteral("Start"));
        QCOMPARE(counter(*w), 4); // no step after the switch
        QCOMPARE(w->state.uB.size(), std::size_t { 129 });
        QCOMPARE(w->state.itersPerImage, 20);
        QCOMPARE(w->state.nCells, 128);
        QVERIFY(w->Picture1->isVisible() && !w->Picture3->isVisible());
    }

    void randomRanges_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("twoD");
        QTest::addColumn<float>("lo");
        QTest::addColumn<float>("hi");
        QTest::newRow("Gierer-Meinhardt 1D") << 0 << false << 1.5f << 1.8f;
        QTest::newRow("Schnakenberg 2D") << 1 << true << 1.5f << 1.8f;
        QTest::newRow("Gray-Scott 1D") << 2 << false << 0.5f << 0.6f;
        QTest::newRow("Oregonator 2D") << 3 << true << 0.5f << 0.6f;
    }
    void randomRanges()
    {
        QFETCH(int, model);
        QFETCH(bool, twoD);
        QFETCH(float, lo);
        QFETCH(float, hi);
        auto w = shownWindow();
        entries(*w)[model]->trigger();
        if (twoD)
            switchTo2D(*w);
        w->state.uA.back() = w->state.vA.back() = 9.0f;
        for (auto* a : { &w->state.uB, &w->state.vB })
            a->assign(a->size(), 0.125f);
        w->state.phaseA = rd::kFalse;
        click(w->Random);
        checkRandomField(*w, twoD ? 128 * 128 : 128, lo, hi, lo, hi, 9.0f, 0.125f);
        QCOMPARE(w->state.phaseA, rd::kFalse);
        const auto first = w->state.uA;
        click(w->Random);
        QVERIFY(w->state.uA != first); // reseeded: another field
    }

    void randomIgnoresTypedRangesUntilAnIntake()
    {
        auto w = shownWindow();
        typeInto(w->Text1[0], QStringLiteral("10"));
        click(w->Random);
        checkRandomField(*w, 128, 1.5f, 1.8f, 1.5f, 1.8f, 0.0f, 0.0f);
        click(w->Clear);
        click(w->Random);
        checkRandomField(*w, 128, 5.0f, 6.0f, 1.5f, 1.8f, 0.0f, 0.0f);
    }

    void clearAppliesANewSizeFirst()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        click(w->Random);
        const float kept = w->state.uA[4096];
        typeInto(w->Text3, QStringLiteral("64"));
        click(w->Clear);
        QCOMPARE(w->state.nCells, 64);
        QCOMPARE(w->state.uA.size(), std::size_t { 4097 });
        QCOMPARE(indicesEqual(w->state.uA, 4096, 0.0f).size(), std::size_t { 4096 });
        QCOMPARE(indicesEqual(w->state.vA, 4096, 0.0f).size(), std::size_t { 4096 });
        QCOMPARE(bits(w->state.uA[4096]), bits(kept)); // the spare element is not a cell
        QCOMPARE(w->state.phaseA, rd::kTrue);
        QCOMPARE(w->Picture3->width(), 68);
        QCOMPARE(pixelsOf(w->Picture3->image(), 0).size(), std::size_t { 64 * 64 });
    }
};

int runControlsTests(int argc, char** argv)
{
    TestControls t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_Controls.moc"
