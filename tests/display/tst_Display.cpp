#include "display/FieldImage.h"
#include "display/PictureBox.h"
#include "settings/Intake.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>
#include <limits>
#include <numbers>

using gt::pixelsOf;

int runPlotsAndSavingTests(int argc, char** argv); // tst_PlotsAndSaving.cpp

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const float kNaN = std::numeric_limits<float>::quiet_NaN();

std::unique_ptr<PictureBox> whiteBox(int w, int h, bool border = true)
{
    auto box = std::make_unique<PictureBox>();
    box->setBorder(border);
    box->resize(w, h);
    box->setBackColor(Qt::white);
    return box;
}

} // namespace

// The picture box, the window's controls, and the pictures drawn into it.
class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void scalesRoundHalfToEven()
    {
        auto box = whiteBox(132, 68);
        QCOMPARE(box->image().size(), QSize(128, 64)); // inside the 2-pixel border
        // x from 0 to 256 (half a pixel per unit), y from 4 (top) to 0.
        box->setScale(0.0f, 4.0f, 256.0f, 0.0f);
        const std::tuple<float, int, float, int> cases[]
            = { { 0, 0, 0, 64 }, { 256, 128, 4, 0 }, { 1, 0, 3.96875f, 0 }, { 3, 2, 3.90625f, 2 },
                  { 5, 2, 3.84375f, 2 }, { -10, -5, 8, -64 } };
        for (auto [x, px, y, py] : cases) {
            QCOMPARE(box->pixelX(x).value(), px);
            QCOMPARE(box->pixelY(y).value(), py);
        }
    }

    void lines()
    {
        const QPoint none(-1, -1);
        // Name, scaled (y from 1 at the top to 0), line, pixels drawn, one drawn, one not.
        const std::tuple<const char*, bool, QLineF, int, QPoint, QPoint> cases[]
            = { { "end point left out", false, { 2, 5, 6, 5 }, 4, { 5, 5 }, { 6, 5 } },
                  { "reversed", false, { 6, 5, 2, 5 }, 4, { 6, 5 }, { 2, 5 } },
                  { "zero length", false, { 3, 9, 3, 9 }, 0, none, none },
                  { "clipped", false, { -3, -3, 12, 12 }, 12, { 0, 0 }, { 12, 12 } },
                  { "sloped", false, { 0, 0, 4, 2 }, 4, { 3, 1 }, { 4, 2 } },
                  // A bar from 0 to the top stops one row short of it.
                  { "bar to the top", true, { 7, 0, 7, 1 }, 19, { 7, 19 }, { 7, 0 } },
                  { "bar to 1e30 fills", true, { 4, 0, 4, 1e30 }, 20, { 4, 0 }, none },
                  { "NaN", true, { 4, 0, 4, kNaN }, 0, none, none },
                  { "-inf", true, { 4, 0, 4, -1e300 }, 0, none, none } };
        for (auto [name, scaled, line, count, in, out] : cases) {
            auto box = whiteBox(20, 20, false);
            if (scaled)
                box->setScale(0, 1, 20, 0);
            box->line(
                float(line.x1()), float(line.y1()), float(line.x2()), float(line.y2()), Qt::red);
            const auto red = pixelsOf(box->image(), kRed);
            QVERIFY2(int(red.size()) == count && (in == none || red.count({ in.x(), in.y() }))
                    && (out == none || !red.count({ out.x(), out.y() })),
                name);
        }
    }

    void arcs()
    {
        auto box = whiteBox(64, 64, false);
        const double pi = std::numbers::pi;
        box->arc(20, 20, 10, 0, float(pi / 2), Qt::red);
        const auto upper = pixelsOf(box->image(), kRed);
        // Counter-clockwise from 3 o'clock: the quarter above and to the right.
        QVERIFY(upper.size() >= 10 && upper.size() <= 20 && upper.count({ 30, 20 }));
        for (auto [x, y] : upper)
            QVERIFY(x >= 20 && y <= 20 && std::abs(std::hypot(x - 20.0, y - 20.0) - 10) <= 0.75);
        box->clear();
        box->arc(20, 20, 10, float(3 * pi / 2), 0, Qt::red); // wraps: the quarter below
        const auto lower = pixelsOf(box->image(), kRed);
        QCOMPARE(lower.size(), upper.size());
        for (auto [x, y] : lower)
            QVERIFY(x >= 20 && y >= 20);
        box->clear();
        box->arc(10, 10, kNaN, 0, 1, Qt::red);
        box->pset(kNaN, 0.5f, Qt::red);
        QVERIFY(pixelsOf(box->image(), kRed).empty());
    }

    void startUpTextsAreTheSettingsTables()
    {
        // The batch tool reads the same table, so a changed default reaches both.
        frmMain w;
        for (int p = 0; p < 4; ++p) {
            const auto texts = rd::defaultBoxTexts(static_cast<rd::Model>(p));
            for (int k = 0; k < (p == 3 ? 8 : 10); ++k) {
                const QLineEdit* box = w.Text1[10 * p + k];
                QCOMPARE(box ? box->text() : QString(),
                    k < 8 ? QString::fromStdString(texts[k]) : QString());
            }
        }
        const auto qs = [](std::string_view t) { return QString::fromUtf8(t.data(), t.size()); };
        QCOMPARE(w.Text3->text() + "|" + w.Text2->text(),
            qs(rd::kDefaultSizeText) + "|" + qs(rd::kDefaultItersText));
    }

    void draw1DRepaintsEveryColumn()
    {
        frmMain w;
        rd::SimState& s = w.state;
        s.uMax = 3.0f;
        s.vMax = 2.0f;
        w.Picture1->setScale(0.0f, s.uMax, 128.0f, 0.0f); // as an intake in 1D leaves them
        w.Picture2->setScale(0.0f, s.vMax, 128.0f, 0.0f);
        s.uA[5] = 10.0f; // above the range: the whole column, top row included
        s.uA[7] = 1.5f; // half the range: rows 32 to 61
        s.uA[8] = -1.0f; // below: nothing
        s.vA[7] = 2.0f; // the top of v's range: all but the top row
        s.vA[20] = 1e30f;
        w.Picture1->line(6.0f, 0.0f, 6.0f, 3.0f, Qt::red); // an old bar, to be painted over
        Access::draw1D(w);
        gt::Pixels red, blue;
        for (int y = 0; y < 62; ++y) {
            red.insert({ 5, y });
            blue.insert({ 20, y });
            if (y > 31)
                red.insert({ 7, y });
            if (y > 0)
                blue.insert({ 7, y });
        }
        QCOMPARE(pixelsOf(w.Picture1->image(), kRed), red);
        QCOMPARE(pixelsOf(w.Picture2->image(), kBlue), blue);
        QCOMPARE(pixelsOf(w.Picture1->image(), kWhite).size(), std::size_t(128 * 62 - 92));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestDisplay display;
    const int failed = QTest::qExec(&display, argc, argv) + runPlotsAndSavingTests(argc, argv);
    return failed == 0 ? 0 : 1;
}

#include "tst_Display.moc"
