#include "tst_Controls.h"

#include "EditingSupport.h"
#include "Integrators.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace edit;

namespace {

std::array<QAction*, 4> entries(const frmMain& w)
{
    return { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre };
}

void checkOnlyChosen(const frmMain& w, int chosen)
{
    const auto e = entries(w);
    for (int m = 0; m < 4; ++m) {
        QCOMPARE(e[m]->isChecked(), m == chosen);
        QCOMPARE(e[m]->isEnabled(), m != chosen);
        QCOMPARE(w.Frame1[m]->isVisible(), m == chosen);
    }
}

// Every cell of set A in [lo, hi) for both species; set B and the spare element as given.
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
    for (std::size_t k = 0; k <= cells; ++k) {
        QCOMPARE(bits(s.uB[k]), bits(setB));
        QCOMPARE(bits(s.vB[k]), bits(setB));
    }
}

void markSpareAndSetB(frmMain& w, float spare, float setB)
{
    w.state.uA.back() = spare;
    w.state.vA.back() = spare;
    std::fill(w.state.uB.begin(), w.state.uB.end(), setB);
    std::fill(w.state.vB.begin(), w.state.vB.end(), setB);
}

} // namespace

void TestControls::menuInvariants()
{
    auto w = shownWindow();
    const auto e = entries(*w);
    QVERIFY(e[0]->isChecked() && !e[0]->isEnabled());
    for (int chosen : { 2, 1, 3, 0, 3 }) {
        e[chosen]->trigger();
        checkOnlyChosen(*w, chosen);
    }
    // The intake ran with the chosen model's boxes.
    QCOMPARE(w->checkedModel(), rd::Model::Oregonator);
    QCOMPARE(w->Label1[102]->text(), QStringLiteral("8e-4"));
    QCOMPARE(w->state.kB, 8e-4f);
    typeInto(w->Text1[25], QStringLiteral(" 0.0400 "));
    e[2]->trigger();
    checkOnlyChosen(*w, 2);
    QCOMPARE(w->Label1[63]->text(), QStringLiteral(" 0.0400 "));
    QCOMPARE(w->state.uMax, 1.0f);
    QCOMPARE(w->state.reactGain, 1.0f);
}

void TestControls::grayScottThenGiererMeinhardtRestoresKC()
{
    auto w = shownWindow();
    w->mnuOre->trigger();
    QCOMPARE(w->state.kC, 0.01f);
    w->mnuGS->trigger();
    QCOMPARE(bits(w->state.kC), bits(0.01f)); // not read by Gray-Scott
    QCOMPARE(w->state.kA, 0.04f);
    w->mnuGM->trigger();
    QCOMPARE(bits(w->state.kC), bits(0.5f));
    QCOMPARE(bits(w->state.kA), bits(0.1f));
    QCOMPARE(bits(w->state.uMax), bits(3.0f));
    // The field is not touched by a choice: all zero stays all zero.
    QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 129 });
}

void TestControls::modelChoiceDuringA2DRun()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    rd::SimState afterChoice;
    int chosenAt = 0, stoppedAt = 0;
    bool stillRunning = false;
    const bool finished = driveRun(*w, [&](int c) {
        if (chosenAt == 0 && c >= 5) {
            w->mnuOre->trigger();
            chosenAt = c;
            afterChoice = w->state;
            stillRunning = w->state.running && w->Run->text() == QStringLiteral("Stop");
            return false;
        }
        if (chosenAt != 0 && c >= chosenAt + 3) {
            stoppedAt = c;
            return true;
        }
        return false;
    });
    QVERIFY(finished);
    QVERIFY(stillRunning);
    QCOMPARE(afterChoice.phaseA, rd::kTrue); // the intake made set A current
    QCOMPARE(afterChoice.reactGain, 0.001f);
    QVERIFY(stoppedAt >= chosenAt + 3);
    QCOMPARE(counter(*w), stoppedAt); // counting on, not from 1 again
    for (int n = chosenAt; n < stoppedAt; ++n) {
        if (afterChoice.phaseA)
            rd::Step2DFromA(afterChoice, rd::Model::Oregonator);
        else
            rd::Step2DFromB(afterChoice, rd::Model::Oregonator);
    }
    QCOMPARE(w->state.uA, afterChoice.uA);
    QCOMPARE(w->state.vA, afterChoice.vA);
    QCOMPARE(w->state.uB, afterChoice.uB);
    QCOMPARE(w->state.vB, afterChoice.vB);
}

void TestControls::dimensionRoundTripKeepsTheLeadingElements()
{
    auto w = shownWindow();
    auto& s = w->state;
    QCOMPARE(s.uA.size(), std::size_t { 129 });
    for (std::size_t k = 0; k < s.uA.size(); ++k)
        s.uA[k] = s.vB[k] = static_cast<float>(k + 1);
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    QCOMPARE(s.uA.size(), std::size_t { 16385 });
    QCOMPARE(s.vB.size(), std::size_t { 16385 });
    QVERIFY(w->Picture3->isVisible() && w->Frame3->isVisible());
    QVERIFY(!w->Picture1->isVisible() && !w->Picture2->isVisible());
    for (std::size_t k = 0; k < s.uA.size(); ++k)
        QCOMPARE(bits(s.uA[k]), bits(k <= 128 ? static_cast<float>(k + 1) : 0.0f));
    // The weights wait for the next intake.
    QCOMPARE(bits(s.su), bits(0.98f));
    for (std::size_t k = 0; k < s.uA.size(); ++k)
        s.uA[k] = static_cast<float>(1000 + k);
    QTest::mouseClick(w->Option1[0], Qt::LeftButton);
    QCOMPARE(s.uA.size(), std::size_t { 129 });
    QVERIFY(w->Picture1->isVisible() && !w->Frame3->isVisible());
    QTest::mouseClick(w->Option1[0], Qt::LeftButton); // already selected: the same
    QCOMPARE(s.uA.size(), std::size_t { 129 });
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    QCOMPARE(s.uA.size(), std::size_t { 16385 });
    for (std::size_t k = 0; k < s.uA.size(); ++k) {
        QCOMPARE(bits(s.uA[k]), bits(k <= 128 ? static_cast<float>(1000 + k) : 0.0f));
        QCOMPARE(bits(s.vB[k]), bits(k <= 128 ? static_cast<float>(k + 1) : 0.0f));
    }
    // A typed size waits for an intake too.
    typeInto(w->Text3, QStringLiteral("64"));
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    QCOMPARE(s.uA.size(), std::size_t { 16385 });
}

void TestControls::oneDEndsA2DRun()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    int switchedAt = 0;
    const bool finished = driveRun(*w, [&](int c) {
        if (c < 3)
            return false;
        // If the switch ran an intake, these would take effect.
        typeInto(w->Text2, QStringLiteral("7"));
        typeInto(w->Text3, QStringLiteral("32"));
        QTest::mouseClick(w->Option1[0], Qt::LeftButton);
        switchedAt = c;
        return true;
    });
    QVERIFY(finished);
    QVERIFY(switchedAt >= 3);
    QCOMPARE(w->state.running, rd::kFalse);
    QCOMPARE(w->Run->text(), QStringLiteral("Start"));
    QCOMPARE(counter(*w), switchedAt); // no step after the switch
    QCOMPARE(w->state.uA.size(), std::size_t { 129 });
    QCOMPARE(w->state.uB.size(), std::size_t { 129 });
    QCOMPARE(w->state.itersPerImage, 20);
    QCOMPARE(w->state.nCells, 128);
    QVERIFY(w->Picture1->isVisible() && !w->Picture3->isVisible());
}

void TestControls::randomRanges_data()
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

void TestControls::randomRanges()
{
    QFETCH(int, model);
    QFETCH(bool, twoD);
    QFETCH(float, lo);
    QFETCH(float, hi);
    auto w = shownWindow();
    if (model != 0)
        entries(*w)[model]->trigger();
    if (twoD)
        switchTo2D(*w);
    const std::size_t cells = twoD ? 128 * 128 : 128;
    markSpareAndSetB(*w, 9.0f, 0.125f);
    w->state.phaseA = rd::kFalse;
    QTest::mouseClick(w->Random, Qt::LeftButton);
    checkRandomField(*w, cells, lo, hi, lo, hi, 9.0f, 0.125f);
    QCOMPARE(w->state.phaseA, rd::kFalse);
    const auto first = w->state.uA;
    QTest::mouseClick(w->Random, Qt::LeftButton);
    QVERIFY(w->state.uA != first); // reseeded: another field
}

void TestControls::randomIgnoresTypedRangesUntilAnIntake()
{
    auto w = shownWindow();
    typeInto(w->Text1[0], QStringLiteral("10"));
    QTest::mouseClick(w->Random, Qt::LeftButton);
    checkRandomField(*w, 128, 1.5f, 1.8f, 1.5f, 1.8f, 0.0f, 0.0f);
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    checkRandomField(*w, 128, 5.0f, 6.0f, 1.5f, 1.8f, 0.0f, 0.0f);
}

void TestControls::clearAppliesANewSizeFirst()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    const float kept = w->state.uA[4096];
    QVERIFY(kept >= 1.5f);
    typeInto(w->Text3, QStringLiteral("64"));
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    QCOMPARE(w->state.nCells, 64);
    QCOMPARE(w->state.uA.size(), std::size_t { 4097 });
    QCOMPARE(indicesEqual(w->state.uA, 4096, 0.0f).size(), std::size_t { 4096 });
    QCOMPARE(indicesEqual(w->state.vA, 4096, 0.0f).size(), std::size_t { 4096 });
    QCOMPARE(bits(w->state.uA[4096]), bits(kept)); // the spare element is not a cell
    QCOMPARE(w->state.phaseA, rd::kTrue);
    QCOMPARE(w->Picture3->width(), 68);
    QCOMPARE(w->Picture3->image().size(), QSize(64, 64));
    QCOMPARE(pixelsOf(w->Picture3->image(), qRgb(0, 0, 0)).size(), std::size_t { 64 * 64 });
}
