#include "tst_PictureBox.h"

#include "PictureBox.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
#include <numbers>
#include <set>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);

std::set<std::pair<int, int>> pixelsOf(const PictureBox& box, QRgb colour)
{
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < box.innerHeight(); ++y)
        for (int x = 0; x < box.innerWidth(); ++x)
            if (box.point(x, y) == colour)
                out.insert({ x, y });
    return out;
}

PictureBox* whiteBox(int w, int h, bool border = true)
{
    auto* box = new PictureBox;
    box->setBorder(border);
    box->resize(w, h);
    box->setBackColor(Qt::white);
    return box;
}

void send(PictureBox* box, QEvent::Type type, QPoint pos, Qt::MouseButton button,
    Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    QMouseEvent e(type, QPointF(pos), box->mapToGlobal(QPointF(pos)), button, buttons, mods);
    QCoreApplication::sendEvent(box, &e);
}

} // namespace

void TestPictureBox::innerSizeFollowsBorder()
{
    std::unique_ptr<PictureBox> box(whiteBox(132, 66));
    QCOMPARE(box->innerWidth(), 128);
    QCOMPARE(box->innerHeight(), 62);
    QCOMPARE(box->image().size(), QSize(128, 62));
    QCOMPARE(box->image().format(), QImage::Format_RGB32);
    box->setBorder(false);
    QCOMPARE(box->innerWidth(), 132);
    QCOMPARE(box->image().size(), QSize(132, 66));
    // Pixel scale follows the size.
    QCOMPARE(box->scaleRight(), 132.0f);
    QCOMPARE(box->scaleBottom(), 66.0f);
}

void TestPictureBox::userScaleMapsHalvesToEven_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<int>("px");
    QTest::addColumn<float>("y");
    QTest::addColumn<int>("py");
    // Inner 128 x 64; x from 0 to 256 (half a pixel per unit), y from 4 (top) to 0.
    QTest::newRow("origin") << 0.0f << 0 << 0.0f << 64;
    QTest::newRow("top right") << 256.0f << 128 << 4.0f << 0;
    QTest::newRow("0.5 -> 0") << 1.0f << 0 << 3.96875f << 0; // y: 0.5 pixel
    QTest::newRow("1.5 -> 2") << 3.0f << 2 << 3.90625f << 2; // y: 1.5 pixels
    QTest::newRow("2.5 -> 2") << 5.0f << 2 << 3.84375f << 2; // y: 2.5 pixels
    QTest::newRow("outside") << -10.0f << -5 << 8.0f << -64;
}

void TestPictureBox::userScaleMapsHalvesToEven()
{
    QFETCH(float, x);
    QFETCH(int, px);
    QFETCH(float, y);
    QFETCH(int, py);
    std::unique_ptr<PictureBox> box(whiteBox(132, 68));
    box->setScale(0.0f, 4.0f, 256.0f, 0.0f);
    QCOMPARE(box->pixelX(x).value(), px);
    QCOMPARE(box->pixelY(y).value(), py);
}

void TestPictureBox::lineLeavesOutItsEndPoint()
{
    std::unique_ptr<PictureBox> box(whiteBox(24, 24, false));
    box->line(2, 5, 6, 5, Qt::red);
    QCOMPARE(pixelsOf(*box, kRed),
        (std::set<std::pair<int, int>> { { 2, 5 }, { 3, 5 }, { 4, 5 }, { 5, 5 } }));
    box->clear();
    box->line(6, 5, 2, 5, Qt::red); // the other way round: 6 drawn, 2 not
    QCOMPARE(pixelsOf(*box, kRed),
        (std::set<std::pair<int, int>> { { 6, 5 }, { 5, 5 }, { 4, 5 }, { 3, 5 } }));
    box->clear();
    box->line(3, 9, 3, 9, Qt::red); // zero length draws nothing
    QVERIFY(pixelsOf(*box, kRed).empty());
    // In a user scale with y upwards, a bar from 0 to the top stops one row short of it.
    box->setScale(0, 24, 24, 0);
    box->line(7, 0, 7, 24, Qt::red);
    QCOMPARE(pixelsOf(*box, kRed).size(), std::size_t(23));
    QCOMPARE(box->point(7, 0), kWhite);
    QCOMPARE(box->point(7, 1), kRed);
    QCOMPARE(box->point(7, 23), kRed);
}

void TestPictureBox::diagonalLineIsBresenham()
{
    std::unique_ptr<PictureBox> box(whiteBox(10, 10, false));
    box->line(0, 0, 4, 2, Qt::red);
    QCOMPARE(pixelsOf(*box, kRed),
        (std::set<std::pair<int, int>> { { 0, 0 }, { 1, 0 }, { 2, 1 }, { 3, 1 } }));
    box->clear();
    box->line(-3, -3, 12, 12, Qt::red); // clipped to the image, start outside
    QCOMPARE(pixelsOf(*box, kRed).size(), std::size_t(10));
    QCOMPARE(box->point(9, 9), kRed);
}

void TestPictureBox::farAndInvalidCoordinates()
{
    std::unique_ptr<PictureBox> box(whiteBox(20, 20, false));
    box->setScale(0, 1, 20, 0);
    // A bar to a huge value fills its column and returns at once.
    box->line(4, 0, 4, 1e30f, Qt::red);
    QCOMPARE(pixelsOf(*box, kRed).size(), std::size_t(20));
    box->clear();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    box->line(4, 0, 4, nan, Qt::red);
    box->pset(nan, 0.5f, Qt::red);
    box->arc(10, 10, nan, 0, 1, Qt::red);
    box->line(4, 0, 4, -std::numeric_limits<float>::infinity(), Qt::red);
    QVERIFY(pixelsOf(*box, kRed).empty());
    QCOMPARE(box->point(-1, 0), qRgb(0, 0, 0));
    QCOMPARE(box->point(0, 20), qRgb(0, 0, 0));
}

void TestPictureBox::arcRunsCounterClockwise()
{
    std::unique_ptr<PictureBox> box(whiteBox(64, 64, false));
    const float quarter = float(std::numbers::pi / 2);
    box->arc(20, 20, 10, 0, quarter, Qt::red);
    const auto upper = pixelsOf(*box, kRed);
    QVERIFY(upper.size() >= 10 && upper.size() <= 20);
    QVERIFY(upper.count({ 30, 20 })); // the start at 3 o'clock is drawn
    for (auto [x, y] : upper) {
        QVERIFY2(x >= 20 && y <= 20, "a counter-clockwise quarter from 3 o'clock lies above");
        const double r = std::hypot(x - 20.0, y - 20.0);
        QVERIFY(std::abs(r - 10.0) <= 0.75);
    }
    box->clear();
    // From 3/4 turn to 0 it wraps the other way: the quarter below.
    box->arc(20, 20, 10, 3 * quarter, 0, Qt::red);
    for (auto [x, y] : pixelsOf(*box, kRed))
        QVERIFY(x >= 20 && y >= 20);
}

void TestPictureBox::fullCircleHasNoGaps()
{
    std::unique_ptr<PictureBox> box(whiteBox(64, 64, false));
    box->arc(31.5f, 30.0f, 20.0f, 0.0f, float(2 * std::numbers::pi), Qt::red);
    const auto ring = pixelsOf(*box, kRed);
    for (int deg = 0; deg < 360; ++deg) {
        const double t = deg * std::numbers::pi / 180.0;
        const int x = int(std::nearbyint(31.5 + 20 * std::cos(t)));
        const int y = int(std::nearbyint(30.0 - 20 * std::sin(t)));
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy)
            for (int dx = -1; dx <= 1 && !near; ++dx)
                near = ring.count({ x + dx, y + dy }) > 0;
        QVERIFY2(near, qPrintable(QStringLiteral("gap at %1 degrees").arg(deg)));
    }
    for (auto [x, y] : ring)
        QVERIFY(std::abs(std::hypot(x - 31.5, y - 30.0) - 20.0) <= 0.75);
}

void TestPictureBox::resizeKeepsTopLeftPixels()
{
    std::unique_ptr<PictureBox> box(whiteBox(14, 14)); // inner 10 x 10
    box->pset(3, 3, Qt::red);
    box->pset(9, 9, Qt::red);
    box->resize(24, 20);
    QCOMPARE(box->image().size(), QSize(20, 16));
    QCOMPARE(box->point(3, 3), kRed);
    QCOMPARE(box->point(9, 9), kRed);
    QCOMPARE(box->point(19, 15), kWhite);
    box->resize(10, 10); // inner 6 x 6: (9, 9) is cut off for good once the image is used
    QCOMPARE(box->image().size(), QSize(6, 6));
    box->resize(24, 20);
    QCOMPARE(box->point(3, 3), kRed);
    QCOMPARE(box->point(9, 9), kWhite);
}

void TestPictureBox::clearAndBackColour()
{
    std::unique_ptr<PictureBox> box(whiteBox(8, 8, false));
    box->pset(1, 1, Qt::red);
    box->setBackColor(QColor(0, 0, 128));
    QCOMPARE(box->backColor(), QColor(0, 0, 128));
    QCOMPARE(box->point(1, 1), qRgb(0, 0, 128));
    QImage frame(3, 2, QImage::Format_RGB32);
    frame.fill(Qt::green);
    box->blit(frame);
    QCOMPARE(box->point(2, 1), qRgb(0, 255, 0));
    QCOMPARE(box->point(3, 1), qRgb(0, 0, 128));
    box->clear();
    QCOMPARE(pixelsOf(*box, qRgb(0, 0, 128)).size(), std::size_t(64));
}

void TestPictureBox::borderIsSunken()
{
    std::unique_ptr<PictureBox> box(whiteBox(12, 10));
    box->pset(0, 0, Qt::red);
    const QImage shown = box->grab().toImage();
    QCOMPARE(shown.pixel(0, 0), qRgb(128, 128, 128)); // shadow, top-left
    QCOMPARE(shown.pixel(1, 1), qRgb(0, 0, 0)); // dark shadow
    QCOMPARE(shown.pixel(11, 9), kWhite); // highlight, bottom-right
    QCOMPARE(shown.pixel(2, 2), kRed); // the image starts inside the border
    QCOMPARE(shown.pixel(9, 7), kWhite);
}

void TestPictureBox::mouseSignalsCarryButtonShiftAndScale()
{
    std::unique_ptr<PictureBox> box(whiteBox(132, 66)); // inner 128 x 62
    box->setScale(0.0f, 3.0f, 128.0f, 0.0f);
    QSignalSpy down(box.get(), &PictureBox::mouseDown);
    QSignalSpy move(box.get(), &PictureBox::mouseMove);
    QSignalSpy up(box.get(), &PictureBox::mouseUp);

    send(box.get(), QEvent::MouseButtonPress, { 2 + 10, 2 + 31 }, Qt::LeftButton, Qt::LeftButton,
        Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(down.size(), 1);
    QCOMPARE(down[0][0].toInt(), 1);
    QCOMPARE(down[0][1].toInt(), 3);
    QCOMPARE(down[0][2].toFloat(), 10.0f);
    QCOMPARE(down[0][3].toFloat(), 1.5f); // half way down a 3..0 scale

    // Held and dragged past the right edge: the position is beyond the scale.
    send(box.get(), QEvent::MouseMove, { 2 + 160, 2 + 62 }, Qt::NoButton, Qt::LeftButton,
        Qt::AltModifier);
    QCOMPARE(move.size(), 1);
    QCOMPARE(move[0][0].toInt(), 1);
    QCOMPARE(move[0][1].toInt(), 4);
    QCOMPARE(move[0][2].toFloat(), 160.0f);
    QCOMPARE(move[0][3].toFloat(), 0.0f);

    send(box.get(), QEvent::MouseButtonRelease, { 0, 0 }, Qt::RightButton, Qt::NoButton,
        Qt::NoModifier);
    QCOMPARE(up.size(), 1);
    QCOMPARE(up[0][0].toInt(), 2);
    QCOMPARE(up[0][2].toFloat(), -2.0f); // on the border, left of the drawing area
    send(box.get(), QEvent::MouseButtonPress, { 5, 5 }, Qt::MiddleButton, Qt::MiddleButton,
        Qt::NoModifier);
    QCOMPARE(down[1][0].toInt(), 4);
}

void TestPictureBox::clickOnlyForLeftButton()
{
    std::unique_ptr<PictureBox> box(whiteBox(17, 17));
    QSignalSpy clicked(box.get(), &PictureBox::clicked);
    send(box.get(), QEvent::MouseButtonPress, { 5, 5 }, Qt::RightButton, Qt::RightButton, {});
    send(box.get(), QEvent::MouseButtonRelease, { 5, 5 }, Qt::RightButton, Qt::NoButton, {});
    QCOMPARE(clicked.size(), 0);
    send(box.get(), QEvent::MouseButtonPress, { 5, 5 }, Qt::LeftButton, Qt::LeftButton, {});
    send(box.get(), QEvent::MouseButtonRelease, { 40, 5 }, Qt::LeftButton, Qt::NoButton, {});
    QCOMPARE(clicked.size(), 0); // released outside
    send(box.get(), QEvent::MouseButtonPress, { 5, 5 }, Qt::LeftButton, Qt::LeftButton, {});
    send(box.get(), QEvent::MouseButtonRelease, { 6, 6 }, Qt::LeftButton, Qt::NoButton, {});
    QCOMPARE(clicked.size(), 1);
}
