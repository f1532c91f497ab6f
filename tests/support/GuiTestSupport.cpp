#include "tests/support/GuiTestSupport.h"
#include "engine/Integrators.h"
#include "settings/ModelBoxes.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <bit>

namespace gt {

std::uint32_t bits(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return std::ranges::equal(a, b, {}, bits, bits);
}

std::set<std::int64_t> indicesEqual(const std::vector<float>& a, std::int64_t count, float value)
{
    std::set<std::int64_t> out;
    for (std::int64_t k = 0; k < count && k < std::int64_t(a.size()); ++k)
        if (bits(a[std::size_t(k)]) == bits(value))
            out.insert(k);
    return out;
}

Pixels pixelsOf(const QImage& image, QRgb colour)
{
    Pixels out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu))
                out.insert({ x, y });
    return out;
}

std::unique_ptr<frmMain> shownWindow()
{
    auto w = std::make_unique<frmMain>();
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        qWarning("window not exposed");
    return w;
}

void click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

void switchTo2D(frmMain& w)
{
    click(w.Option1[1]);
    click(w.Clear);
}

QPoint cell(int i, int j)
{
    return { PictureBox::kBorderWidth + i, PictureBox::kBorderWidth + j };
}

int counter(const frmMain& w)
{
    return w.Label2->text().toInt();
}

QAction* menuEntry(frmMain& w, rd::Model model)
{
    return std::array { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre }[std::size_t(rd::modelNumber(model))];
}

int driveRun(frmMain& w, const std::function<void(int)>& act, int maxYields)
{
    // Each call posts the next one first; an event posted while posted events are delivered
    // waits for the next pass, so one pass of the loop's processEvents gives one call. Calls
    // still queued when this returns go with the context object.
    QObject context;
    QElapsedTimer clock;
    clock.start();
    int yields = 0;
    bool tripped = false;
    std::function<void()> fire = [&] {
        if (++yields > maxYields || clock.elapsed() > 20000) {
            tripped = true;
            w.state.running = rd::kFalse;
            return;
        }
        QMetaObject::invokeMethod(&context, fire, Qt::QueuedConnection);
        act(yields);
    };
    QMetaObject::invokeMethod(&context, fire, Qt::QueuedConnection);
    click(w.Run);
    return tripped ? -1 : yields;
}

std::optional<rd::SimState> actDuringRun(
    frmMain& w, int actAt, int stopAt, const std::function<void()>& act)
{
    std::optional<rd::SimState> after;
    const int yields = driveRun(w, [&](int yield) {
        if (yield == actAt) {
            act();
            after = w.state;
        } else if (yield == stopAt) {
            click(w.Run);
        }
    });
    return yields == stopAt ? after : std::nullopt;
}

bool stepsLeadTo(rd::SimState from, rd::Model model, bool oneD, int steps, const frmMain& w)
{
    for (int n = 0; n < steps; ++n)
        rd::step(from, model, rd::dimensionOf(oneD));
    return sameBits(w.state.uA, from.uA) && sameBits(w.state.vA, from.vA)
        && sameBits(w.state.uB, from.uB) && sameBits(w.state.vB, from.vB);
}

} // namespace gt
