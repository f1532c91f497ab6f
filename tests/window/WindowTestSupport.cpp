#include "WindowTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <bit>
#include <cstdint>

namespace wt {

QString bitsOf(float f)
{
    return QStringLiteral("0x%1").arg(std::bit_cast<std::uint32_t>(f), 8, 16, QLatin1Char('0'));
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

void clickRun(frmMain& w)
{
    QTest::mouseClick(w.Run, Qt::LeftButton);
}

void choose(frmMain& w, int option)
{
    QTest::mouseClick(w.Option1[static_cast<std::size_t>(option)], Qt::LeftButton);
}

bool hasColour(const PictureBox& box, QRgb colour)
{
    for (int y = 0; y < box.innerHeight(); ++y)
        for (int x = 0; x < box.innerWidth(); ++x)
            if (box.point(x, y) == colour)
                return true;
    return false;
}

void putMarker(PictureBox& box)
{
    box.pset(box.userX(10), box.userY(10), QColor(kMarker));
}

YieldDriver::YieldDriver(frmMain& w, Action action, int maxYields)
    : w_(w)
    , action_(std::move(action))
    , maxYields_(maxYields)
{ }

void YieldDriver::clickStart()
{
    clock_.start();
    ++generation_;
    armed_ = true;
    post();
    clickRun(w_);
    armed_ = false;
}

void YieldDriver::post()
{
    const int generation = generation_;
    QMetaObject::invokeMethod(
        this, [this, generation] { fire(generation); }, Qt::QueuedConnection);
}

void YieldDriver::fire(int generation)
{
    if (!armed_ || generation != generation_)
        return;
    ++yields_;
    if (yields_ > maxYields_ || clock_.elapsed() > 20000) {
        tripped_ = true;
        w_.state.running = rd::kFalse;
        return;
    }
    post();
    action_(yields_);
}

} // namespace wt
