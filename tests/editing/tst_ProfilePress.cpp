// Presses on a profile plot's border: the stored height stays within 0..top, and a press past
// either end of the line changes nothing, though it starts the stroke; the stroke writes only
// its own plot's array and picture.
#include "tests/support/GuiTestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace gt;

class TestProfilePress : public QObject {
    Q_OBJECT

private slots:
    void pressOnTheBorder_data()
    {
        QTest::addColumn<bool>("onU");
        QTest::addColumn<QPoint>("at"); // widget pixels; the drawing area is 128 x 62 at (2, 2)
        QTest::addColumn<int>("cell"); // the cell written, or -1 for none
        QTest::addColumn<float>("value");
        for (bool u : { true, false }) {
            const char* box = u ? "Picture1" : "Picture2";
            QTest::addRow("%s top border", box) << u << QPoint(42, 0) << 40 << 3.0f;
            QTest::addRow("%s top border inner row", box) << u << QPoint(43, 1) << 41 << 3.0f;
            QTest::addRow("%s bottom border", box) << u << QPoint(44, 65) << 42 << 0.0f;
            QTest::addRow("%s bottom-right corner of the area", box)
                << u << QPoint(129, 64) << 127 << 0.0f;
            QTest::addRow("%s right border, X = nCells", box) << u << QPoint(130, 20) << -1 << 0.0f;
            QTest::addRow("%s right border, outer", box) << u << QPoint(131, 20) << -1 << 0.0f;
            QTest::addRow("%s left border", box) << u << QPoint(1, 20) << -1 << 0.0f;
        }
    }

    void pressOnTheBorder()
    {
        QFETCH(bool, onU);
        QFETCH(QPoint, at);
        QFETCH(int, cell);
        QFETCH(float, value);
        auto w = shownWindow();
        click(w->Clear); // an intake: the horizontal scale runs 0..nCells, both tops 3
        PictureBox* box = onU ? w->Picture1 : w->Picture2;
        QCOMPARE(box->innerWidth(), 128);
        for (auto* a : { &w->state.uA, &w->state.vA }) {
            a->assign(a->size(), 1.5f);
            a->back() = 9.5f; // the spare element beyond the last cell
        }
        const rd::SimState before = w->state;
        const QImage picture = box->image();
        const QImage otherPicture = (onU ? w->Picture2 : w->Picture1)->image();

        QTest::mousePress(box, Qt::LeftButton, {}, at);
        QCOMPARE(w->state.mouseDown, rd::kTrue);
        std::vector<float> expected = onU ? before.uA : before.vA;
        if (cell >= 0)
            expected[std::size_t(cell)] = value;
        QVERIFY(sameBits(onU ? w->state.uA : w->state.vA, expected));
        QVERIFY(sameBits(onU ? w->state.vA : w->state.uA, onU ? before.vA : before.uA));
        if (cell < 0)
            QCOMPARE(box->image(), picture);

        // The stroke has begun: a move over the plot draws.
        QTest::mouseMove(box, QPoint(52, 33));
        QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(52, 33));
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        const std::vector<float>& after = onU ? w->state.uA : w->state.vA;
        QCOMPARE(bits(after[50]), bits(box->userY(31)));
        QCOMPARE(bits(after.back()), bits(9.5f));
        // Only the plot's own array and picture change.
        QVERIFY(sameBits(w->state.uB, before.uB) && sameBits(w->state.vB, before.vB));
        QCOMPARE((onU ? w->Picture2 : w->Picture1)->image(), otherPicture);
    }
};

int runProfilePressTests(int argc, char** argv)
{
    TestProfilePress t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_ProfilePress.moc"
