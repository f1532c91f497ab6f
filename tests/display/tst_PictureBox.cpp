#include "GuiTestSupport.h"
#include "PictureBox.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
#include <numbers>

using gt::pixelsOf;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const float kNaN = std::numeric_limits<float>::quiet_NaN();

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

class TestPictureBox : public QObject {
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

    void lines()
    {
        struct Case {
            const char* name;
            bool scaled; // y from 1 (top) to 0 instead of pixels
            QLineF line;
            int count;
            QPoint red, white;
        };
        const QPoint none(-1, -1);
        const Case cases[]
            = { { "end point left out", false, { 2, 5, 6, 5 }, 4, { 5, 5 }, { 6, 5 } },
                  { "reversed", false, { 6, 5, 2, 5 }, 4, { 6, 5 }, { 2, 5 } },
                  { "zero length", false, { 3, 9, 3, 9 }, 0, none, none },
                  { "Bresenham", false, { 0, 0, 4, 2 }, 4, { 2, 1 }, { 2, 0 } },
                  { "clipped", false, { -3, -3, 12, 12 }, 12, { 0, 0 }, { 12, 12 } },
                  // A bar from 0 to the top stops one row short of it.
                  { "bar to the top", true, { 7, 0, 7, 1 }, 19, { 7, 19 }, { 7, 0 } },
                  { "bar to 1e30 fills", true, { 4, 0, 4, 1e30 }, 20, { 4, 0 }, none },
                  { "NaN", true, { 4, 0, 4, kNaN }, 0, none, none },
                  { "-inf", true, { 4, 0, 4, -1e300 }, 0, none, none } };
        for (const Case& c : cases) {
            auto box = whiteBox(20, 20, false);
            if (c.scaled)
                box->setScale(0, 1, 20, 0);
            box->line(float(c.line.x1()), float(c.line.y1()), float(c.line.x2()),
                float(c.line.y2()), Qt::red);
            const auto red = pixelsOf(box->image(), kRed);
            QVERIFY2(int(red.size()) == c.count
                    && (c.red == none || red.count({ c.red.x(), c.red.y() }))
                    && (c.white == none || !red.count({ c.white.x(), c.white.y() })),
                c.name);
        }
        auto box = whiteBox(20, 20, false);
        box->line(0, 0, 4, 2, Qt::red);
        QCOMPARE(
            pixelsOf(box->image(), kRed), (gt::Pixels { { 0, 0 }, { 1, 0 }, { 2, 1 }, { 3, 1 } }));
    }

    void arcs()
    {
        auto box = whiteBox(64, 64, false);
        const float quarter = float(std::numbers::pi / 2);
        box->arc(20, 20, 10, 0, quarter, Qt::red);
        const auto upper = pixelsOf(box->image(), kRed);
        QVERIFY(upper.size() >= 10 && upper.size() <= 20);
        QVERIFY(upper.count({ 30, 20 })); // starts at 3 o'clock, counter-clockwise: above
        for (auto [x, y] : upper)
            QVERIFY(x >= 20 && y <= 20 && std::abs(std::hypot(x - 20.0, y - 20.0) - 10) <= 0.75);
        box->clear();
        box->arc(20, 20, 10, 3 * quarter, 0, Qt::red); // wraps: the quarter below
        for (auto [x, y] : pixelsOf(box->image(), kRed))
            QVERIFY(x >= 20 && y >= 20);
        box->clear();
        box->arc(10, 10, kNaN, 0, 1, Qt::red);
        box->pset(kNaN, 0.5f, Qt::red);
        QVERIFY(pixelsOf(box->image(), kRed).empty());
        // A full circle has no gaps.
        box->arc(31.5f, 30.0f, 20.0f, 0.0f, float(2 * std::numbers::pi), Qt::red);
        const auto ring = pixelsOf(box->image(), kRed);
        for (int deg = 0; deg < 360; ++deg) {
            const double t = deg * std::numbers::pi / 180.0;
            const int x = int(std::nearbyint(31.5 + 20 * std::cos(t)));
            const int y = int(std::nearbyint(30.0 - 20 * std::sin(t)));
            bool near = false;
            for (int d = 0; d < 9; ++d)
                near = near || ring.count({ x + d % 3 - 1, y + d / 3 - 1 });
            QVERIFY2(near, qPrintable(QStringLiteral("gap at %1 degrees").arg(deg)));
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
        auto args = [](const QSignalSpy& spy, int k) {
            return std::tuple(
                spy[k][0].toInt(), spy[k][1].toInt(), spy[k][2].toFloat(), spy[k][3].toFloat());
        };
        send(*box, QEvent::MouseButtonPress, { 12, 33 }, Qt::LeftButton, Qt::LeftButton,
            Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(args(down, 0), std::tuple(1, 3, 10.0f, 1.5f));
        // Held and dragged past the edges: positions beyond the scale.
        send(*box, QEvent::MouseMove, { 162, 64 }, Qt::NoButton, Qt::LeftButton, Qt::AltModifier);
        QCOMPARE(args(move, 0), std::tuple(1, 4, 160.0f, 0.0f));
        send(*box, QEvent::MouseButtonRelease, { 0, 0 }, Qt::LeftButton);
        QCOMPARE(std::get<2>(args(up, 0)), -2.0f); // on the border, left of the drawing area
        QCOMPARE(clicked.size(), 1);
        send(*box, QEvent::MouseButtonPress, { 5, 5 }, Qt::LeftButton, Qt::LeftButton);
        send(*box, QEvent::MouseButtonRelease, { 140, 5 }, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1); // released outside the box
        send(*box, QEvent::MouseButtonPress, { 5, 5 }, Qt::RightButton, Qt::RightButton);
        send(*box, QEvent::MouseButtonRelease, { 5, 5 }, Qt::RightButton);
        QCOMPARE(std::get<0>(args(up, 2)), 2);
        QCOMPARE(clicked.size(), 1); // not the left button
        send(*box, QEvent::MouseButtonPress, { 5, 5 }, Qt::MiddleButton, Qt::MiddleButton);
        QCOMPARE(std::get<0>(args(down, 3)), 4);
        send(*box, QEvent::MouseButtonPress, { 5, 5 }, Qt::LeftButton, Qt::LeftButton);
        send(*box, QEvent::MouseButtonRelease, { 6, 6 }, Qt::LeftButton);
        QCOMPARE(clicked.size(), 2);
    }
};

int runPictureBoxTests(int argc, char** argv)
{
    TestPictureBox t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_PictureBox.moc"
