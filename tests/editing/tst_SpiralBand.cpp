// The spiral is one connected band, and the arcs it is drawn with end on their end points.
#include "tests/support/GuiTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <numbers>

using namespace gt;

namespace {

// The number of 8-connected pieces of a set of cells of an n x n field.
int pieces(const std::set<std::int64_t>& cells, int n)
{
    std::set<std::int64_t> left = cells;
    int count = 0;
    while (!left.empty()) {
        ++count;
        std::vector<std::int64_t> todo { *left.begin() };
        left.erase(left.begin());
        while (!todo.empty()) {
            const std::int64_t k = todo.back();
            todo.pop_back();
            const std::int64_t i = k % n, j = k / n;
            for (std::int64_t dj = -1; dj <= 1; ++dj)
                for (std::int64_t di = -1; di <= 1; ++di) {
                    const std::int64_t x = i + di, y = j + dj;
                    if (x < 0 || y < 0 || x >= n || y >= n)
                        continue;
                    if (left.erase(y * n + x))
                        todo.push_back(y * n + x);
                }
        }
    }
    return count;
}

} // namespace

class TestSpiralBand : public QObject {
    Q_OBJECT

private slots:
    void arcsDrawBothEnds_data()
    {
        QTest::addColumn<float>("r");
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("end");
        QTest::addColumn<Pixels>("mustHave");
        const float quarter = float(std::numbers::pi / 2);
        // Centre (10, 10): the point at angle t is (10 + r cos t, 10 - r sin t).
        QTest::newRow("radius 0: its one pixel")
            << 0.0f << 0.0f << 0.0157f << Pixels { { 10, 10 } };
        QTest::newRow("samples on one pixel") << 0.3f << 0.0f << 0.0157f << Pixels { { 10, 10 } };
        QTest::newRow("quarter, both ends")
            << 5.0f << 0.0f << quarter << Pixels { { 15, 10 }, { 10, 5 } };
    }

    void arcsDrawBothEnds()
    {
        QFETCH(float, r);
        QFETCH(float, start);
        QFETCH(float, end);
        QFETCH(Pixels, mustHave);
        PictureBox box;
        box.resize(24, 24);
        box.arc(10.0f, 10.0f, r, start, end, QColor(0, 255, 0));
        const Pixels drawn = pixelsOf(box.image(), qRgb(0, 255, 0));
        for (const auto& p : mustHave)
            QVERIFY2(
                drawn.count(p), qPrintable(QStringLiteral("%1,%2").arg(p.first).arg(p.second)));
        std::set<std::int64_t> cells;
        for (auto [x, y] : drawn)
            cells.insert(x + 24 * y);
        QCOMPARE(pieces(cells, 24), 1);
    }

    void bandIsOnePiece_data()
    {
        QTest::addColumn<int>("n");
        for (int n : { 128, 129, 64 })
            QTest::addRow("N = %d", n) << n;
    }

    // At every radius the painted cells (u = uMax in set A, cleared to 0 before)
    // form one 8-connected band.
    void bandIsOnePiece()
    {
        QFETCH(int, n);
        auto w = shownWindow();
        typeInto(w->Text3, QString::number(n));
        switchTo2D(*w);
        QCOMPARE(w->state.nCells, n);
        const std::int64_t cells = std::int64_t { n } * n;
        for (int r = 1; r <= 12; ++r) {
            click(w->Clear);
            w->Slider1->setValue(r);
            click(w->Spiral);
            const auto band = indicesEqual(w->state.uA, cells, 3.0f);
            QVERIFY(band.size() > std::size_t(n));
            QVERIFY2(pieces(band, n) == 1,
                qPrintable(QStringLiteral("radius %1: %2 pieces").arg(r).arg(pieces(band, n))));
        }
    }
};

int runSpiralBandTests(int argc, char** argv)
{
    TestSpiralBand t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_SpiralBand.moc"
