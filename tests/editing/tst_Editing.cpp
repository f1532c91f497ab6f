#include "GuiTestSupport.h"
#include "Integrators.h"
#include "Kinetics.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace gt;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

void press(QWidget* box, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mousePress(box, b, {}, cell(i, j));
}
void moveTo(QWidget* box, int i, int j)
{
    QTest::mouseMove(box, cell(i, j));
}
void release(QWidget* box, int i, int j, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mouseRelease(box, b, {}, cell(i, j));
}
void pickSwatch(frmMain& w, int index)
{
    QTest::mouseClick(w.Picture6[index], Qt::LeftButton, {}, QPoint(8, 8));
}

// Cells of a 128 x 128 field with exactly this value, as flat indices.
std::set<std::int64_t> cellsAt(const std::vector<float>& a, float value)
{
    return indicesEqual(a, 128 * 128, value);
}

std::set<std::int64_t> asCells(const Pixels& pixels)
{
    std::set<std::int64_t> out;
    for (auto [x, y] : pixels)
        out.insert(x + 128 * y);
    return out;
}

// The pixels the spiral's 400 arcs colour, drawn with the picture box's own arc on a fresh box.
Pixels spiralPixels()
{
    PictureBox box;
    box.resize(132, 132);
    for (int i = 0; i < 400; ++i)
        box.arc(float(127 * 0.5), float(127 * 0.4), float(i * 0.00125 * 127), float(i * 0.0157),
            float((i + 1) * 0.0157), QColor(0, 255, 0));
    return pixelsOf(box.image(), qRgb(0, 255, 0));
}

// Column x shows a bar of this value: white above, the bar colour below. A line leaves out
// its end point, so the bar starts one row below the value's row.
bool columnIsBar(const PictureBox* box, int x, float value, QRgb colour)
{
    const int top = int(*box->pixelY(value)) + 1;
    for (int y = 0; y < box->innerHeight(); ++y)
        if (box->point(x, y) != (y >= top ? colour : qRgb(255, 255, 255)))
            return false;
    return true;
}

// The columns in which two images differ.
std::set<int> changedColumns(const QImage& a, const QImage& b)
{
    std::set<int> out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                out.insert(x);
    return out;
}

// Every cell of set A in [lo, hi) for u and v, many distinct; the spare element and set B as
// they were.
void checkRandomField(const rd::SimState& s, std::size_t cells, float lo, float hi, float spare)
{
    QCOMPARE(s.uA.size(), cells + 1);
    std::set<float> distinct;
    for (std::size_t k = 0; k < cells; ++k) {
        QVERIFY2(s.uA[k] >= lo && s.uA[k] < hi && s.vA[k] >= lo && s.vA[k] < hi,
            qPrintable(QStringLiteral("%1 %2").arg(s.uA[k]).arg(s.vA[k])));
        distinct.insert(s.uA[k]);
    }
    QVERIFY(distinct.size() > cells / 2);
    QVERIFY(bits(s.uA[cells]) == bits(spare) && bits(s.vA[cells]) == bits(spare));
    QCOMPARE(
        indicesEqual(s.uB, 1 << 20, 0.125f).size() + indicesEqual(s.vB, 1 << 20, 0.125f).size(),
        2 * cells + 2);
}

void releaseAtOrigin(PictureBox* box, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(box, button, {}, cell(0, box->innerHeight()));
}

// The pixels a trajectory from (0, 0) lands on: 10000 steps of u += su dt, v += dt sv,
// each clamped at 0.
Pixels trajectory(const frmMain& w, rd::Model model, const PictureBox* box)
{
    Pixels out;
    float u = 0, v = 0, su = 0, sv = 0;
    for (int n = 0; n < 10000; ++n) {
        rd::callModel(model, w.state, u, v, su, sv);
        u = std::max(su * w.state.dt + u, 0.0f);
        v = std::max(w.state.dt * sv + v, 0.0f);
        const auto x = *box->pixelX(u), y = *box->pixelY(v);
        if (x >= 0 && y >= 0 && x < box->innerWidth() && y < box->innerHeight())
            out.insert({ int(x), int(y) });
    }
    return out;
}

QByteArray readAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entries()
{
    return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// A 24-bit BMP file with the pixels of the box.
void checkBmp(const QString& name, const PictureBox* box)
{
    const QByteArray bytes = readAll(name);
    QVERIFY2(bytes.size() > 54 && bytes.startsWith("BM"), qPrintable(name));
    QCOMPARE(int(quint8(bytes[28])) | int(quint8(bytes[29])) << 8, 24);
    QCOMPARE(QImage(name, "BMP").convertToFormat(QImage::Format_RGB32), box->image());
}

} // namespace

// What the user does in the window: painting and the spiral, drawing the profiles, the
// "Function" menu, "1D"/"2D", Random and Clear (also during runs), the phase plots and
// Save As. Each test has a fresh window in a fresh working folder.
class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        savedCwd = QDir::currentPath();
        workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(workDir->isValid() && QDir::setCurrent(workDir->path()));
        w = shownWindow();
    }
    void cleanup()
    {
        w.reset();
        QDir::setCurrent(savedCwd);
        // A locked folder is opened again so that the temporary folder can go.
        QFile::setPermissions(workDir->filePath(QStringLiteral("locked")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        workDir.reset();
    }

    void discs()
    {
        switchTo2D(*w);
        // Radius 7 in the middle and at the corner, radius 0.
        for (auto [radius, at, count] : { std::tuple { 7, QPoint(64, 64), 149 },
                 { 7, QPoint(0, 0), 45 }, { 0, QPoint(10, 20), 1 } }) {
            w->state.uB.assign(w->state.uB.size(), 0.0f); // Clear empties set A only
            click(w->Clear);
            w->Slider1->setValue(radius);
            press(w->Picture3, at.x(), at.y());
            release(w->Picture3, at.x(), at.y());
            const auto cells = cellsAt(w->state.uA, 3.0f);
            QCOMPARE(int(cells.size()), count);
            for (auto k : cells) {
                const int di = int(k % 128) - at.x(), dj = int(k / 128) - at.y();
                QVERIFY(di * di + dj * dj <= radius * radius);
            }
            QCOMPARE(cellsAt(w->state.uB, 3.0f), cells); // both sets
            // Marked in red at once, on exactly the painted cells.
            QCOMPARE(asCells(pixelsOf(w->Picture3->image(), kRed)), cells);
            QCOMPARE(w->state.mouseDown, rd::kFalse);
        }
    }

    void dragPastTheRightEdge()
    {
        switchTo2D(*w);
        // The press paints zeros; radius and intensity are read afresh on every event.
        w->Slider2->setValue(0);
        press(w->Picture3, 64, 64);
        QVERIFY(cellsAt(w->state.uA, 3.0f).empty());
        w->Slider2->setValue(255);
        moveTo(w->Picture3, 130, 64);
        release(w->Picture3, 130, 64);
        const auto cells = cellsAt(w->state.uA, 3.0f);
        QCOMPARE(cells.size(), std::size_t { 41 });
        for (auto k : cells)
            QVERIFY(k % 128 >= 123);
        QCOMPARE(pixelsOf(w->Picture3->image(), kRed).size(), std::size_t { 41 });
        QCOMPARE(w->state.uA.size(), std::size_t { 128 * 128 + 1 });
        press(w->Picture3, 135, 64); // a disc wholly outside paints nothing
        release(w->Picture3, 135, 64);
        QCOMPARE(cellsAt(w->state.uA, 3.0f).size(), std::size_t { 41 });
    }

    void strokesWriteExactlyTheTargetSpecies()
    {
        // u at intensity 0 (one click), then v at 51 with vMax 2 (a press and a move): the
        // discs hold exactly vMax * a / 255 in both sets, marked in the brush colour; nothing
        // else changes.
        switchTo2D(*w);
        typeInto(w->Text1[1], QStringLiteral("2"));
        for (bool u : { true, false }) {
            click(w->Clear);
            click(w->Random);
            for (auto* a : { &w->state.uB, &w->state.vB })
                a->assign(a->size(), 0.25f); // values of its own, so that a write to set B shows
            const rd::SimState before = w->state;
            pickSwatch(*w, u ? 0 : 1);
            w->Slider2->setValue(u ? 0 : 51);
            press(w->Picture3, 20, 20);
            if (!u)
                moveTo(w->Picture3, 90, 90);
            release(w->Picture3, 90, 90);
            auto [a, b]
                = u ? std::tie(w->state.uA, w->state.uB) : std::tie(w->state.vA, w->state.vB);
            const auto [wasA, wasB]
                = u ? std::tie(before.uA, before.uB) : std::tie(before.vA, before.vB);
            const auto disc = cellsAt(a, u ? 0.0f : 0.4f);
            QCOMPARE(disc.size(), std::size_t { u ? 149u : 2 * 149u });
            QVERIFY(disc.count(20 + 128 * 20));
            QCOMPARE(disc.count(93 + 128 * 90), std::size_t(u ? 0 : 1)); // the move's disc
            QCOMPARE(cellsAt(b, u ? 0.0f : 0.4f), disc);
            QCOMPARE(asCells(pixelsOf(w->Picture3->image(), u ? 0 : qRgb(0, 0, 51))), disc);
            for (std::size_t k = 0; k < a.size(); ++k)
                if (!disc.count(std::int64_t(k)))
                    QVERIFY(bits(a[k]) == bits(wasA[k]) && bits(b[k]) == bits(wasB[k]));
            QVERIFY(u ? sameBits(w->state.vA, before.vA) && sameBits(w->state.vB, before.vB)
                      : sameBits(w->state.uA, before.uA) && sameBits(w->state.uB, before.uB));
            QCOMPARE(w->state.phaseA, before.phaseA);
        }
    }

    void paintingDuringARunBetweenTwoSteps()
    {
        switchTo2D(*w);
        click(w->Random);
        rd::SimState afterPaint;
        QCOMPARE(driveRun(*w,
                     [&](int yield) {
                         if (yield == 3) {
                             press(w->Picture3, 64, 64);
                             release(w->Picture3, 64, 64);
                             afterPaint = w->state;
                         } else if (yield == 5) {
                             click(w->Run);
                         }
                     }),
            5);
        QCOMPARE(cellsAt(afterPaint.uA, 3.0f).size(), std::size_t { 149 });
        // The two steps after the stroke started from the painted values in either set.
        for (int n = 0; n < 2; ++n)
            afterPaint.phaseA ? rd::Step2DFromA(afterPaint, rd::Model::GiererMeinhardt)
                              : rd::Step2DFromB(afterPaint, rd::Model::GiererMeinhardt);
        QVERIFY(sameBits(w->state.uA, afterPaint.uA) && sameBits(w->state.vA, afterPaint.vA));
        QVERIFY(sameBits(w->state.uB, afterPaint.uB) && sameBits(w->state.vB, afterPaint.vB));
    }

    void spiral()
    {
        switchTo2D(*w);
        const Pixels green = spiralPixels();
        QVERIFY(green.size() > 200);
        // Radius 0 paints exactly the arcs' pixels, marked red (no green left).
        w->Slider1->setValue(0);
        click(w->Spiral);
        QCOMPARE(cellsAt(w->state.uA, 3.0f), asCells(green));
        QCOMPARE(pixelsOf(w->Picture3->image(), kRed), green);
        // Radius 7: a band around them, the same on a second click.
        click(w->Clear);
        w->Slider1->setValue(7);
        click(w->Spiral);
        const auto band = cellsAt(w->state.uA, 3.0f);
        for (auto [x, y] : green)
            QVERIFY(band.count(x + 128 * y));
        for (auto k : band) {
            bool near = false;
            for (auto [x, y] : green)
                near = near || (x - k % 128) * (x - k % 128) + (y - k / 128) * (y - k / 128) <= 49;
            QVERIFY(near);
        }
        w->Slider2->setValue(128);
        const float value = float(3.0 * 128 / 255.0);
        click(w->Spiral);
        QCOMPARE(cellsAt(w->state.uA, value), band);
        QCOMPARE(asCells(pixelsOf(w->Picture3->image(), qRgb(128, 0, 0))), band);
        QCOMPARE(cellsAt(w->state.uB, value), band);
    }

    void pressAndDragOnEitherProfile()
    {
        // A press stores the height under the pointer and redraws just that bar; a drag
        // above the top stores exactly the range's top. Only the plot's own array changes.
        click(w->Clear); // an intake: the plots' horizontal scale runs 0..nCells
        click(w->Random);
        for (auto* a : { &w->state.uB, &w->state.vB })
            a->assign(a->size(), 0.5f);
        for (bool u : { true, false }) {
            PictureBox* p = u ? w->Picture1 : w->Picture2;
            const rd::SimState before = w->state;
            const QImage plot = p->image(), other = (u ? w->Picture2 : w->Picture1)->image();
            const int py = p->innerHeight() / 3; // a third of the way down from the top, 3
            press(p, 40, py);
            const std::vector<float>& drawn = u ? w->state.uA : w->state.vA;
            QCOMPARE(bits(drawn[40]), bits(p->userY(py)));
            QVERIFY(columnIsBar(p, 40, drawn[40], u ? kRed : kBlue));
            QCOMPARE(changedColumns(p->image(), plot), std::set<int> { 40 });
            moveTo(p, 41, -3);
            release(p, 41, -3);
            QCOMPARE(w->state.mouseDown, rd::kFalse);
            std::vector<float> expected = u ? before.uA : before.vA;
            expected[40] = drawn[40];
            expected[41] = 3.0f;
            QVERIFY(sameBits(drawn, expected));
            QVERIFY(sameBits(u ? w->state.vA : w->state.uA, u ? before.vA : before.uA));
            QVERIFY(sameBits(w->state.uB, before.uB) && sameBits(w->state.vB, before.vB));
            QCOMPARE((u ? w->Picture2 : w->Picture1)->image(), other);
        }
    }

    void profileDragsAreClampedAndEndAtTheLastCell()
    {
        PictureBox* p = w->Picture1;
        click(w->Clear);
        press(p, 10, 30);
        moveTo(p, 11, -40); // above the top: exactly uMax
        moveTo(p, 12, p->innerHeight() + 50); // below the bottom: 0
        QCOMPARE(bits(w->state.uA[12]), bits(0.0f));
        QVERIFY(columnIsBar(p, 12, 0.0f, kRed));
        moveTo(p, 20, -1);
        moveTo(p, 25, -1);
        release(p, 25, -1);
        // The last cell can be drawn, the one past it not; moves past either end are ignored.
        press(p, 127, 0);
        moveTo(p, 127, -5);
        const rd::SimState before = w->state;
        const QImage img = p->image();
        for (int x : { 128, 129, 135, -1, -2 }) {
            moveTo(p, x, 10);
            moveTo(p, x, -30);
        }
        QVERIFY(sameBits(w->state.uA, before.uA) && p->image() == img);
        QCOMPARE(w->state.mouseDown, rd::kTrue);
        release(p, 140, 10);
        QCOMPARE(w->state.mouseDown, rd::kFalse);
        QCOMPARE(
            indicesEqual(w->state.uA, 129, 3.0f), (std::set<std::int64_t> { 11, 20, 25, 127 }));
    }

    void otherButtonsAndReleases()
    {
        // Other buttons draw nothing; a second press while the button is held draws nothing
        // more, and releasing another button ends the stroke: the move after it draws nothing.
        for (bool twoD : { false, true }) {
            twoD ? switchTo2D(*w) : click(w->Clear);
            PictureBox* p = twoD ? w->Picture3 : w->Picture1;
            const QImage img = p->image();
            press(p, 30, 5, Qt::RightButton);
            moveTo(p, 31, 5);
            release(p, 31, 5, Qt::RightButton);
            QCOMPARE(p->image(), img);
            press(p, 30, 20);
            QCOMPARE(w->state.mouseDown, rd::kTrue);
            press(p, 100, 50, Qt::MiddleButton);
            if (!twoD) // the press on one plot holds the flag shared with the other
                press(w->Picture2, 60, 5);
            release(p, 100, 50, Qt::MiddleButton);
            QCOMPARE(w->state.mouseDown, rd::kFalse);
            moveTo(p, 100, 20);
            release(p, 100, 20);
            const auto drawn = twoD ? cellsAt(w->state.uA, 3.0f).size()
                                    : 129 - indicesEqual(w->state.uA, 129, 0.0f).size();
            QCOMPARE(drawn, std::size_t(twoD ? 149 : 1));
            QVERIFY(indicesEqual(w->state.vA, 129, 0.0f).size() == 129);
        }
    }

    void menuChoicesAndMirroredLabels()
    {
        const std::array e { w->mnuGM, w->mnuSch, w->mnuGS, w->mnuOre };
        QCOMPARE(w->Label1[63]->text(), QStringLiteral("F"));
        for (int chosen : { 2, 1, 3, 0, 3 }) {
            e[chosen]->trigger();
            for (int m = 0; m < 4; ++m)
                QCOMPARE(
                    std::tuple(e[m]->isChecked(), e[m]->isEnabled(), w->Frame1[m]->isVisible()),
                    std::tuple(m == chosen, m != chosen, m == chosen));
        }
        // The labels show a box as typed, once an intake has read it.
        QCOMPARE(w->Label1[102]->text(), QStringLiteral("8e-4"));
        typeInto(w->Text1[25], QStringLiteral(" 0.0400 "));
        QCOMPARE(w->Label1[63]->text(), QStringLiteral("0.04")); // typing alone changes nothing
        e[2]->trigger();
        QCOMPARE(w->Label1[63]->text(), QStringLiteral(" 0.0400 "));
        QCOMPARE(bits(w->state.kA), bits(0.04f));
        // A choice does not touch the field.
        QCOMPARE(indicesEqual(w->state.uA, 129, 0.0f).size(), std::size_t { 129 });
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
            afterChoice.phaseA ? rd::Step2DFromA(afterChoice, rd::Model::Oregonator)
                               : rd::Step2DFromB(afterChoice, rd::Model::Oregonator);
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
        QVERIFY(w->Picture1->isVisible() && !w->Picture3->isVisible());
    }

    void randomRangesChangeWithAnIntakeOnly()
    {
        // Model, 2D, the range of u and v. Random fills set A's cells only; ranges typed
        // count from the next intake (Clear, which zeroes the cells, not the spare element).
        const std::tuple<int, bool, float, float> cases[] = { { 0, false, 1.5f, 1.8f },
            { 1, true, 1.5f, 1.8f }, { 2, false, 0.5f, 0.6f }, { 3, true, 0.5f, 0.6f } };
        for (auto [model, twoD, lo, hi] : cases) {
            w = shownWindow();
            std::array { w->mnuGM, w->mnuSch, w->mnuGS, w->mnuOre }[model]->trigger();
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

    void phasePlots()
    {
        releaseAtOrigin(w->Picture40);
        const Pixels gm = pixelsOf(w->Picture40->image(), 0);
        QVERIFY(gm.size() > 20);
        QCOMPARE(gm, trajectory(*w, rd::Model::GiererMeinhardt, w->Picture40));
        // A second release draws only its own trajectory.
        w->mnuSch->trigger();
        QTest::mouseRelease(w->Picture41, Qt::LeftButton, {}, cell(60, 60));
        const Pixels first = pixelsOf(w->Picture41->image(), 0);
        releaseAtOrigin(w->Picture41);
        const Pixels second = pixelsOf(w->Picture41->image(), 0);
        QCOMPARE(second, trajectory(*w, rd::Model::Schnakenberg, w->Picture41));
        QVERIFY(second != first);
        // A large gain makes v overshoot below 0 every second step: 0 -> 2.4 -> 0 ... Points
        // at v = 0 lie on the bottom edge, outside the image, so one pixel shows. The release
        // (any button) runs the intake first.
        w->mnuGS->trigger();
        PictureBox* box = w->Picture42;
        typeInto(w->Text1[22], QStringLiteral("60"));
        typeInto(w->Text1[21], QStringLiteral("3"));
        releaseAtOrigin(box, Qt::RightButton);
        QCOMPARE(box->scaleTop(), 3.0f);
        const Pixels one { { 0, int(*box->pixelY(0.04f * 60.0f)) } };
        QCOMPARE(pixelsOf(box->image(), 0), one);
        QCOMPARE(trajectory(*w, rd::Model::GrayScott, box), one);
    }

    void saveAs()
    {
        // 1D: the two profiles, with their bars.
        click(w->Random);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("Activator_1D.bmp"), w->Picture1);
        checkBmp(QStringLiteral("Inhibitor_1D.bmp"), w->Picture2);
        QVERIFY(pixelsOf(w->Picture1->image(), kRed).size() > 100);
        // 2D: the field, replaced without a question when saved again; a new size shows once
        // the field has been redrawn.
        switchTo2D(*w);
        click(w->Random);
        w->mnuSaveAs->trigger();
        typeInto(w->Text3, QStringLiteral("64"));
        click(w->Clear);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("2D.bmp"), w->Picture3);
        QCOMPARE(QImage(QStringLiteral("2D.bmp")).size(), QSize(64, 64));
        QCOMPARE(entries(), (QStringList { "2D.bmp", "Activator_1D.bmp", "Inhibitor_1D.bmp" }));
        QVERIFY(w->lastMessage.isEmpty());
    }

    void saveAsStopsAtTheFirstFileThatFails()
    {
        // 1D: the two files are one set; when the first cannot be written neither is.
        QVERIFY(QDir().mkdir(QStringLiteral("Activator_1D.bmp")));
        QFile earlier(QStringLiteral("Inhibitor_1D.bmp"));
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier file") == 12);
        earlier.close();
        w->mnuSaveAs->trigger();
        QVERIFY2(w->lastMessage.contains(QStringLiteral("\"Activator_1D.bmp\"")),
            qPrintable(w->lastMessage));
        QCOMPARE(readAll(QStringLiteral("Inhibitor_1D.bmp")), QByteArray("earlier file"));
        QCOMPARE(entries(), (QStringList { "Activator_1D.bmp", "Inhibitor_1D.bmp" }));
    }

    void saveAsIntoAFolderThatTakesNoNewFileIsRefused()
    {
        switchTo2D(*w);
        QVERIFY(QDir().mkdir(QStringLiteral("locked")));
        QFile earlier(QStringLiteral("locked/2D.bmp"));
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier file") == 12);
        earlier.close();
        const auto rx = QFile::ReadOwner | QFile::ReadOther | QFile::ExeOwner | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(workDir->path(), rx | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(QStringLiteral("locked"), rx));
        QVERIFY(QDir::setCurrent(QStringLiteral("locked")));
        // Root may write anywhere; as another file-system user the permissions hold for real.
        const auto become = [root = geteuid() == 0](int id) {
            if (root) {
                setfsgid(id);
                setfsuid(id);
            }
        };
        const auto back = qScopeGuard([&] { become(0); });
        QVERIFY(
            QFile::setPermissions(QStringLiteral("2D.bmp"), QFile::ReadOwner | QFile::ReadOther));
        become(65534);
        QFile probe(QStringLiteral("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("the directory's permissions do not hold for this user");
        }
        // Read-only as well: it cannot be saved, and says so.
        w->mnuSaveAs->trigger();
        QVERIFY2(w->lastMessage.contains(QStringLiteral("\"2D.bmp\"")), qPrintable(w->lastMessage));
        QCOMPARE(readAll(QStringLiteral("2D.bmp")), QByteArray("earlier file"));
        // Writable, it is still not written in place (a full disk would truncate it): the
        // folder is named and the file stays as it was.
        become(0);
        QVERIFY(QFile::setPermissions(QStringLiteral("2D.bmp"),
            QFile::ReadOwner | QFile::ReadOther | QFile::WriteOwner | QFile::WriteOther));
        become(65534);
        w->lastMessage.clear();
        w->mnuSaveAs->trigger();
        QCOMPARE(w->lastMessage,
            QStringLiteral("\"2D.bmp\" could not be written: the folder \"%1\" takes no new files "
                           "(Permission denied). Any earlier file is unchanged.")
                .arg(QDir::currentPath()));
        QCOMPARE(readAll(QStringLiteral("2D.bmp")), QByteArray("earlier file"));
        QCOMPARE(entries(), QStringList { QStringLiteral("2D.bmp") });
    }

private:
    QString savedCwd;
    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<frmMain> w;
};

QTEST_MAIN(TestEditing)
#include "tst_Editing.moc"
