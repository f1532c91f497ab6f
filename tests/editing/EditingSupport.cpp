#include "EditingSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace edit {

std::unique_ptr<frmMain> shownWindow()
{
    auto w = std::make_unique<frmMain>();
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        qWarning("window not exposed");
    return w;
}

void switchTo2D(frmMain& w)
{
    QTest::mouseClick(w.Option1[1], Qt::LeftButton);
    QTest::mouseClick(w.Clear, Qt::LeftButton);
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

std::set<std::int64_t> indicesEqual(const std::vector<float>& a, std::int64_t count, float value)
{
    std::set<std::int64_t> out;
    for (std::int64_t k = 0; k < count && k < static_cast<std::int64_t>(a.size()); ++k)
        if (bits(a[static_cast<std::size_t>(k)]) == bits(value))
            out.insert(k);
    return out;
}

std::set<std::pair<int, int>> pixelsOf(const QImage& image, QRgb colour)
{
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu))
                out.insert({ x, y });
    return out;
}

int counter(const frmMain& w)
{
    return w.Label2->text().toInt();
}

bool driveRun(frmMain& w, const std::function<bool(int)>& each, int guardMs)
{
    bool done = false, guarded = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (done || !w.state.running)
            return;
        if (each(counter(w))) {
            done = true;
            if (w.state.running)
                QTest::mouseClick(w.Run, Qt::LeftButton);
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guarded = true;
        w.state.running = rd::kFalse;
    });
    ticker.start();
    guard.start(guardMs);
    QTest::mouseClick(w.Run, Qt::LeftButton);
    ticker.stop();
    guard.stop();
    return !guarded;
}

} // namespace edit
