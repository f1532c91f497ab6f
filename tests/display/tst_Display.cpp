#include "FieldImage.h"
#include "GuiTestSupport.h"
#include "Intake.h"
#include "PictureBox.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cmath>
#include <limits>
#include <numbers>

using gt::pixelsOf;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::unique_ptr<PictureBox> whiteBox(int w, int h, bool border = true)
{
    auto box = std::make_unique<PictureBox>();
    box->setBorder(border);
    box->resize(w, h);
    box->setBackColor(Qt::white);
    return box;
}

void send(PictureBox& box, QEvent::Type type, QPoint pos, Qt::MouseButton button,
    Qt::MouseButtons buttons = Qt::NoButton, Qt::KeyboardModifiers mods = {})
{
    QMouseEvent e(type, QPointF(pos), box.mapToGlobal(QPointF(pos)), button, buttons, mods);
    QCoreApplication::sendEvent(&box, &e);
}

} // namespace

// The picture box, the window's controls and layout, and the pictures drawn into it.
class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    void sizeAndScales()
    {
        auto box = whiteBox(132, 68);
        QCOMPARE(box->image().size(), QSize(128, 64)); // inside the 2-pixel border
        QCOMPARE(box->image().format(), QImage::Format_RGB32);
        // x from 0 to 256 (half a pixel per unit), y from 4 (top) to 0; halves to even.
        box->setScale(0.0f, 4.0f, 256.0f, 0.0f);
        const std::tuple<float, int, float, int> cases[]
            = { { 0, 0, 0, 64 }, { 256, 128, 4, 0 }, { 1, 0, 3.96875f, 0 }, { 3, 2, 3.90625f, 2 },
                  { 5, 2, 3.84375f, 2 }, { -10, -5, 8, -64 } };
        for (auto [x, px, y, py] : cases) {
            QCOMPARE(box->pixelX(x).value(), px);
            QCOMPARE(box->pixelY(y).value(), py);
        }
        box->setBorder(false);
        QCOMPARE(box->image().size(), QSize(132, 68));
        box->setPixelScale();
        QCOMPARE(box->scaleRight(), 132.0f);
    }

    void linesAndArcs()
    {
        const QPoint none(-1, -1);
        // Name, scaled (y from 1 at the top to 0), line, pixels drawn, one drawn, one not.
        const std::tuple<const char*, bool, QLineF, int, QPoint, QPoint> cases[]
            = { { "end point left out", false, { 2, 5, 6, 5 }, 4, { 5, 5 }, { 6, 5 } },
                  { "reversed", false, { 6, 5, 2, 5 }, 4, { 6, 5 }, { 2, 5 } },
                  { "zero length", false, { 3, 9, 3, 9 }, 0, none, none },
                  { "clipped", false, { -3, -3, 12, 12 }, 12, { 0, 0 }, { 12, 12 } },
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
        auto box = whiteBox(20, 20, false);
        box->line(0, 0, 4, 2, Qt::red);
        QCOMPARE(
            pixelsOf(box->image(), kRed), (gt::Pixels { { 0, 0 }, { 1, 0 }, { 2, 1 }, { 3, 1 } }));
        box = whiteBox(64, 64, false);
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
        // A full circle has no gaps: every point of it touches a drawn pixel.
        box->arc(31.5f, 30.0f, 20.0f, 0.0f, float(2 * pi), Qt::red);
        const auto ring = pixelsOf(box->image(), kRed);
        for (int deg = 0; deg < 360; ++deg) {
            const int x = int(std::nearbyint(31.5 + 20 * std::cos(deg * pi / 180)));
            const int y = int(std::nearbyint(30.0 - 20 * std::sin(deg * pi / 180)));
            int near = 0;
            for (int d = 0; d < 9; ++d)
                near += int(ring.count({ x + d % 3 - 1, y + d / 3 - 1 }));
            QVERIFY2(near > 0, qPrintable(QStringLiteral("gap at %1 degrees").arg(deg)));
        }
    }

    void resizeBackColourBlitAndBorder()
    {
        auto box = whiteBox(14, 14); // inner 10 x 10
        box->pset(3, 3, Qt::red);
        box->pset(9, 9, Qt::red);
        box->resize(24, 20); // keeps the top-left pixels
        QCOMPARE(box->point(9, 9), kRed);
        QCOMPARE(box->point(19, 15), kWhite);
        box->resize(10, 10); // inner 6 x 6: (9, 9) is cut off for good once the image is used
        QCOMPARE(box->image().size(), QSize(6, 6));
        box->resize(24, 20);
        QCOMPARE(box->point(3, 3), kRed);
        QCOMPARE(box->point(9, 9), kWhite);
        QCOMPARE(box->point(-1, 0), qRgb(0, 0, 0)); // outside reads black
        box->setBackColor(QColor(0, 0, 128)); // clears
        QImage frame(3, 2, QImage::Format_RGB32);
        frame.fill(Qt::green);
        box->blit(frame);
        QCOMPARE(box->point(2, 1), qRgb(0, 255, 0));
        QCOMPARE(pixelsOf(box->image(), qRgb(0, 0, 128)).size(), std::size_t(20 * 16 - 6));
        // The border is sunken and the image starts inside it.
        const QImage shown = box->grab().toImage();
        QCOMPARE(shown.pixel(0, 0), qRgb(128, 128, 128));
        QCOMPARE(shown.pixel(1, 1), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(23, 19), kWhite);
        QCOMPARE(shown.pixel(2, 2), qRgb(0, 255, 0));
    }

    void mouseSignalsAndClicks()
    {
        auto box = whiteBox(132, 66); // inner 128 x 62
        box->setScale(0.0f, 3.0f, 128.0f, 0.0f);
        QSignalSpy down(box.get(), &PictureBox::mouseDown);
        QSignalSpy move(box.get(), &PictureBox::mouseMove);
        QSignalSpy up(box.get(), &PictureBox::mouseUp);
        QSignalSpy clicked(box.get(), &PictureBox::clicked);
        send(*box, QEvent::MouseButtonPress, { 12, 33 }, Qt::LeftButton, Qt::LeftButton,
            Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(down[0], (QVariantList { 1, 3, 10.0f, 1.5f }));
        // Held and dragged past the edges: positions beyond the scale.
        send(*box, QEvent::MouseMove, { 162, 64 }, Qt::NoButton, Qt::LeftButton, Qt::AltModifier);
        QCOMPARE(move[0], (QVariantList { 1, 4, 160.0f, 0.0f }));
        send(*box, QEvent::MouseButtonRelease, { 0, 0 }, Qt::LeftButton);
        QCOMPARE(up[0][2].toFloat(), -2.0f); // on the border, left of the drawing area
        // Button codes 1, 2, 4; a click is a left press and release within the box.
        const std::tuple<Qt::MouseButton, QPoint, int, int> presses[]
            = { { Qt::LeftButton, { 140, 5 }, 1, 1 }, { Qt::RightButton, { 5, 5 }, 2, 1 },
                  { Qt::MiddleButton, { 5, 5 }, 4, 1 }, { Qt::LeftButton, { 6, 6 }, 1, 2 } };
        for (auto [button, releasedAt, code, clicks] : presses) {
            send(*box, QEvent::MouseButtonPress, { 5, 5 }, button, button);
            send(*box, QEvent::MouseButtonRelease, releasedAt, button);
            QCOMPARE(down.last()[0].toInt(), code);
            QCOMPARE(clicked.size(), clicks);
        }
    }

    void captionMenusBoxesAndLabels()
    {
        frmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Reaction-Diffusion simulator"));
        QCOMPARE(w.centralWidget()->size(), QSize(537, 361));
        QVERIFY(w.centralWidget()->y() >= w.menuBar()->geometry().bottom());
        QCOMPARE(w.windowIcon().actualSize(QSize(32, 32)), QSize(32, 32));
        QCOMPARE(w.Picture6[1]->backColor(), QColor(0, 0, 128));
        const QColor button = w.palette().color(QPalette::Button);
        QVERIFY(w.Picture40->backColor() == button && w.Picture5->backColor() == button);
        QVERIFY(!w.Picture5->hasBorder() && w.Picture6[0]->hasBorder());
        QVERIFY(w.Spiral->text().isEmpty() && w.Spiral->iconSize() == QSize(32, 32));
        const auto menus = w.menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text() + menus[1]->text(), QStringLiteral("FileFunction"));
        QCOMPARE(w.mnuFile->actions(), QList<QAction*> { w.mnuSaveAs });
        QCOMPARE(w.mnuSaveAs->text(), QStringLiteral("Save As"));
        const QList<QAction*> items { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre };
        QCOMPARE(w.mnuFunction->actions(), items);
        const char* captions[] = { "Gierer-Meinhardt", "Schnakenberg", "Gray-Scott", "Oregonator" };
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(items[i]->text(), QString::fromUtf8(captions[i]));
            QVERIFY(items[i]->isCheckable() && items[i]->shortcut().isEmpty());
            QCOMPARE(
                std::pair(items[i]->isChecked(), items[i]->isEnabled()), std::pair(i == 0, i != 0));
        }
        // The start-up texts are the settings table's, which the batch tool reads too.
        for (int p = 0; p < 4; ++p) {
            const auto texts = rd::defaultBoxTexts(static_cast<rd::Model>(p));
            for (int k = 0; k < (p == 3 ? 8 : 10); ++k) {
                const QLineEdit* box = w.Text1[10 * p + k];
                const QString text = k < 8 ? QString::fromStdString(texts[k]) : QString();
                QCOMPARE(box != nullptr, !text.isEmpty());
                QVERIFY(!box || (box->text() == text && box->parentWidget() == w.Frame1[p]));
            }
        }
        const auto qs = [](std::string_view t) { return QString::fromUtf8(t.data(), t.size()); };
        QCOMPARE(w.Text3->text() + "|" + w.Text2->text(),
            qs(rd::kDefaultSizeText) + "|" + qs(rd::kDefaultItersText));
        QCOMPARE(w.Label2->text() + w.Run->text(), QStringLiteral("0Start"));
        QVERIFY(w.Label2->alignment() & Qt::AlignRight);
        int perPanel[4] = {};
        for (int i = 1; i < 119; ++i)
            for (int p = 0; p < 4; ++p)
                perPanel[p] += w.Label1[i]->parentWidget() == w.Frame1[p];
        QCOMPARE(QList<int>(perPanel, perPanel + 4), (QList<int> { 31, 27, 29, 31 }));
        QVERIFY(!w.Label1[0]);
        // Gierer-Meinhardt's fraction, with a raised exponent sized to its text.
        QCOMPARE(w.Label1[84]->text() + w.Label1[85]->text(), QStringLiteral("u2"));
        QCOMPARE(w.Label1[85]->geometry(), QRect(QPoint(256, 32), w.Label1[85]->sizeHint()));
        QVERIFY(w.Label1[85]->autoFillBackground()
            && w.Label1[85]->palette().color(QPalette::Window)
                == w.palette().color(QPalette::Button));
        QCOMPARE(w.Label1[33]->text(), QStringLiteral("scaling factor ="));
    }

    void geometryInPixels()
    {
        frmMain w;
        const std::tuple<const char*, QWidget*, QRect> cases[] = {
            { "Frame1(3)", w.centralWidget(), { 8, 184, 521, 169 } },
            { "Line2", w.centralWidget(), { 0, 0, 536, 1 } },
            { "Run", w.centralWidget(), { 352, 80, 161, 57 } },
            { "Picture5", w.Frame3, { 88, 28, 25, 25 } },
            { "Option1(1)", w.Frame2, { 72, 16, 49, 17 } },
            { "Picture4x(2)", w.Frame1[2], { 376, 24, 121, 121 } },
            { "Text1(25)", w.Frame1[2], { 112, 48, 41, 18 } },
            { "Line1(8)", w.Frame1[3], { 96, 56, 32, 1 } },
        };
        for (auto [name, parent, rect] : cases) {
            const QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(c && c->parentWidget() == parent, name);
            QCOMPARE(c->geometry(), rect);
        }
    }

    void visibilityAndStacking()
    {
        auto w = gt::shownWindow();
        QVERIFY(w->Picture1->isVisible() && w->Picture2->isVisible() && !w->Picture3->isVisible());
        QVERIFY(!w->Frame3->isVisible() && w->Option1[0]->isChecked());
        QWidget* client = w->centralWidget();
        // Gierer-Meinhardt's panel is on top; once hidden, Frame1(1) lies above Frame1(2).
        for (int top : { 0, 1 }) {
            QWidget* hit = client->childAt(20, 300);
            QVERIFY(hit == w->Frame1[top] || w->Frame1[top]->isAncestorOf(hit));
            w->Frame1[top]->hide();
        }
        w->Picture3->show(); // the profile boxes lie above the field box
        QCOMPARE(client->childAt(200, 60), w->Picture1);
        QCOMPARE(client->childAt(200, 150), w->Picture2);
    }

    void fontsResolveToSubstitutes()
    {
        frmMain w;
        // Where two installed files carry one family, the foundry is appended: "C059 [UKWN]".
        // Inside a frame, a control without a font of its own keeps the window's (Text1(2)).
        const std::tuple<QWidget*, const char*, int, bool, bool> cases[]
            = { { w.Run, "Liberation Sans", 32, true, false },
                  { w.Label5, "Liberation Sans", 13, false, false },
                  { w.Frame1[0], "C059", 12, true, true },
                  { w.Label1[18], "Liberation Serif", 12, false, true },
                  { w.Label1[21], "IPAPGothic", 12, false, true },
                  { w.Text1[2], "Liberation Sans", 11, false, false } };
        for (auto [control, family, pixels, bold, italic] : cases) {
            const QFontInfo info(control->font());
            QCOMPARE(std::tuple(info.family().section(QStringLiteral(" ["), 0, 0), info.pixelSize(),
                         info.bold(), info.italic()),
                std::tuple(QString::fromLatin1(family), pixels, bold, italic));
        }
    }

    void grayLevelRoundsTheSingleProductHalfToEven()
    {
        // 0.1f * 85 is 8.50000013 in double but exactly 8.5 in single, and 8.5 -> 8.
        const std::tuple<float, float, int> cases[]
            = { { 1.5f, 85, 128 }, { 3, 85, 255 }, { 6, 85, 255 }, { 0.5f, 1, 0 },
                  { 254.5f, 1, 254 }, { 255.5f, 1, 255 }, { -1, 85, 0 }, { 1e6f, 85, 255 },
                  { kNaN, 85, 0 }, { kInf, 85, 0 }, { 3e38f, 85, 0 }, { 0.1f, 85, 8 } };
        for (auto [u, scale, level] : cases)
            QVERIFY2(rd::grayLevel(u, scale) == level, qPrintable(QString::number(u)));
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
        QCOMPARE(w.Picture1->innerHeight(), 62);
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

    void brushPreview()
    {
        auto w = gt::shownWindow();
        // Smaller after larger, so that a preview not cleared before drawing shows.
        for (auto [radius, marked] : { std::pair { 12, 441 }, { 1, 5 }, { 0, 1 }, { 7, 149 } }) {
            w->Slider1->setValue(radius);
            // Whole-number offsets, so a cell is inside when d^2 <= r^2.
            const auto red = pixelsOf(w->Picture5->image(), kRed);
            QCOMPARE(int(red.size()), marked);
            for (auto [x, y] : red)
                QVERIFY((x - 12) * (x - 12) + (y - 12) * (y - 12) <= radius * radius);
        }
        w->Frame3->show();
        // A swatch click picks its species, lights its swatch and dims the other.
        const std::tuple<int, QColor, QColor, rd::Bool16, QRgb> clicks[]
            = { { 1, QColor(127, 0, 0), QColor(0, 0, 255), rd::kFalse, kBlue },
                  { 0, QColor(255, 0, 0), QColor(0, 0, 127), rd::kTrue, kRed } };
        for (auto [swatch, uColour, vColour, paintU, shown] : clicks) {
            QTest::mouseClick(w->Picture6[swatch], Qt::LeftButton, {}, QPoint(8, 8));
            QCOMPARE(std::tuple(
                         w->Picture6[0]->backColor(), w->Picture6[1]->backColor(), w->state.paintU),
                std::tuple(uColour, vColour, paintU));
            QCOMPARE(pixelsOf(w->Picture5->image(), shown).size(), std::size_t(149));
        }
        // While the thumb is held every value redraws; the keys move the sliders by pages.
        const QRgb back = w->Picture5->backColor().rgb();
        w->Slider1->setSliderDown(true);
        w->Slider1->setValue(3);
        QVERIFY(w->Picture5->point(15, 12) == kRed && w->Picture5->point(16, 12) == back);
        w->Slider1->setSliderDown(false);
        w->Slider1->setFocus();
        QTest::keyClick(w->Slider1, Qt::Key_PageUp);
        QVERIFY(w->Picture5->point(20, 12) == kRed && w->Picture5->point(21, 12) == back);
        QTest::keyClick(w->Slider2, Qt::Key_PageDown);
        QCOMPARE(w->Picture5->point(12, 12), qRgb(205, 0, 0));
        w->Slider2->setValue(0); // intensity 0 is black
        QCOMPARE(w->Picture5->point(12, 12), qRgb(0, 0, 0));
        QTest::mouseClick(w->Picture6[1], Qt::LeftButton, {}, QPoint(8, 8));
        w->Slider2->setValue(51);
        QCOMPARE(w->Picture5->point(12, 12), qRgb(0, 0, 51));
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_Display.moc"
