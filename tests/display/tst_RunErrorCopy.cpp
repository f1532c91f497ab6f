// After a 2D step fails with the last complete step in set B, the handler copies B's cells
// into A and nothing more: the spare element beyond the last cell keeps its value.
#include "EngineError.h"
#include "GuiTestSupport.h"
#include "Integrators.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace gt;

class TestRunErrorCopy : public QObject {
    Q_OBJECT

private slots:
    void copyStopsAtTheLastCell_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("N = 128") << 128;
        QTest::newRow("N = 9") << 9;
    }

    void copyStopsAtTheLastCell()
    {
        QFETCH(int, n);
        auto w = shownWindow();
        typeInto(w->Text3, QString::number(n));
        switchTo2D(*w);
        // A gain this large overflows after an odd number of complete steps (set B last).
        typeInto(w->Text1[2], QStringLiteral("1e12"));
        click(w->Clear);
        const std::size_t cells = std::size_t(n) * std::size_t(n);
        QCOMPARE(w->state.uA.size(), cells + 1);
        for (std::size_t k = 0; k < cells; k += 5)
            w->state.uA[k] = 0.5f;
        for (auto* a : { &w->state.uA, &w->state.vA })
            a->back() = 9.5f;
        for (auto* b : { &w->state.uB, &w->state.vB })
            b->back() = -4.0f;

        // The engine alone: where it fails and which set holds the last complete step.
        rd::SimState expected = w->state;
        bool failed = false;
        for (int k = 0; k < 1000 && !failed; ++k) {
            try {
                rd::step(expected, rd::Model::GiererMeinhardt, rd::Dimension::Two);
            } catch (const rd::EngineError&) {
                failed = true;
            }
        }
        QVERIFY(failed);
        QCOMPARE(expected.phaseA, rd::kFalse);

        QVERIFY(driveRun(*w, [](int) {}) >= 0);
        QVERIFY(!w->lastMessage.isEmpty());
        const rd::SimState& s = w->state;
        QCOMPARE(s.phaseA, rd::kTrue);
        for (auto [a, b] :
            { std::pair { &s.uA, &expected.uB }, std::pair { &s.vA, &expected.vB } }) {
            QVERIFY(std::equal(a->begin(), a->begin() + std::ptrdiff_t(cells), b->begin(),
                [](float x, float y) { return bits(x) == bits(y); }));
            QCOMPARE(bits(a->back()), bits(9.5f));
        }
        QCOMPARE(bits(s.uB.back()), bits(-4.0f));
    }
};

int runRunErrorCopyTests(int argc, char** argv)
{
    TestRunErrorCopy t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_RunErrorCopy.moc"
