// How fast a real 2D run goes in the window: the same frmMain, a 2D run started by a click
// on Run, stopped by a click after a fixed time; then the bare engine loop for as long, on
// the same arrays, with no counter, drawing or events; then the loop's event processing alone,
// the floor of the overhead; five such rounds. Last lines, the median rounds:
//   window run: X it/s; bare engine: Y steps/s; ratio: Z; overhead: W us/it
//   event processing alone, with nothing pending: E us per call
// Usage: rdsim-window-bench [seconds]   (default 5; run it under a display, e.g. Xvfb)
//        rdsim-window-bench --memory      resident memory over a 1,000,000-iteration run at
//                                         N = 2, 1,000 intakes and 200 Save As
#include "display/frmMain.h"
#include "engine/Integrators.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <vector>

namespace {

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

// Processor time of the calling thread, in seconds.
double threadSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    const timeval& t = usage.ru_utime;
    const timeval& k = usage.ru_stime;
    return static_cast<double>(t.tv_sec + k.tv_sec)
        + static_cast<double>(t.tv_usec + k.tv_usec) * 1e-6;
}

int memoryRun(frmMain& window)
{
    std::printf("resident at start: %ld KiB\n", residentKiB());
    window.Option1[1]->click(); // "2D"
    window.Text3->setText(QStringLiteral("2"));
    window.Random->click();
    long samples[10] = {};
    int taken = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (taken < 10)
            samples[taken++] = residentKiB();
    });
    sampler.start(500);
    QElapsedTimer clock;
    clock.start();
    window.Run->click(); // ends by itself after 1,000,000 iterations
    sampler.stop();
    std::printf("run: counter %s after %.1f s; resident during the run:",
        qPrintable(window.Label2->text()), static_cast<double>(clock.elapsed()) / 1000.0);
    for (int k = 0; k < taken; ++k)
        std::printf(" %ld", samples[k]);
    std::printf(" KiB; after: %ld KiB\n", residentKiB());
    window.Run->click(); // the Stop click of an exhausted run
    window.Text3->setText(QStringLiteral("128"));
    for (int k = 0; k < 1000; ++k) {
        window.Clear->click();
        if (k == 99)
            std::printf("after 100 intakes: %ld KiB\n", residentKiB());
    }
    std::printf("after 1000 intakes: %ld KiB\n", residentKiB());
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    for (int k = 0; k < 200; ++k) {
        window.mnuSaveAs->trigger();
        if (k == 19)
            std::printf("after 20 Save As: %ld KiB\n", residentKiB());
    }
    std::printf("after 200 Save As: %ld KiB\n", residentKiB());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool memory = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
    const double seconds = argc > 1 && !memory ? std::atof(argv[1]) : 5.0;
    const int ms = static_cast<int>(seconds * 1000.0);

    frmMain window;
    window.show();
    // Let the window appear before timing anything.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents();

    if (memory)
        return memoryRun(window);

    window.Option1[1]->click(); // "2D"
    window.Random->click();
    // Every Start's intake keeps the field, so each round goes on from where the last
    // one, window or bare, left it.

    // Alternating rounds, so that a change of clock speed or a neighbour's load falls on
    // both sides alike; the bare loop steps the window's own arrays, so both sides touch
    // the same memory. The median round is reported.
    struct Round {
        double windowRate, bareRate, windowCpuUs, bareCpuUs, eventsUs;
        double overhead() const { return 1e6 / windowRate - 1e6 / bareRate; }
    };
    constexpr int kRounds = 5;
    const int roundMs = std::max(200, ms / kRounds);
    std::vector<Round> rounds;
    QElapsedTimer clock;
    for (int r = 0; r < kRounds; ++r) {
        Round round {};
        QTimer::singleShot(roundMs, &window, [&] { window.Run->click(); }); // the Stop click
        clock.start();
        double cpu = threadSeconds();
        window.Run->click(); // Start: returns when the Stop click has ended the loop
        const double windowSeconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
        const long iterations = window.Label2->text().toLong() - 1;
        round.windowRate = static_cast<double>(iterations) / windowSeconds;
        round.windowCpuUs = (threadSeconds() - cpu) * 1e6 / static_cast<double>(iterations);

        long steps = 0;
        clock.restart();
        cpu = threadSeconds();
        while (clock.nsecsElapsed() < static_cast<qint64>(roundMs) * 1000000) {
            for (int k = 0; k < 20; ++k, ++steps)
                rd::step(window.state, rd::Model::GiererMeinhardt, rd::Dimension::Two);
        }
        round.bareRate
            = static_cast<double>(steps) / (static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        round.bareCpuUs = (threadSeconds() - cpu) * 1e6 / static_cast<double>(steps);

        // The floor of the overhead: what the loop's event processing costs by itself, with
        // nothing pending (one poll of the event sources, a system call, each time).
        long calls = 0;
        clock.restart();
        while (clock.nsecsElapsed() < static_cast<qint64>(roundMs) * 250000) {
            for (int k = 0; k < 100; ++k, ++calls)
                QCoreApplication::processEvents();
        }
        round.eventsUs
            = static_cast<double>(clock.nsecsElapsed()) * 1e-3 / static_cast<double>(calls);
        std::printf("round %d: window %.0f it/s, bare engine %.0f steps/s, overhead %.2f us/it "
                    "(processor time %.2f); event processing alone %.2f us\n",
            r + 1, round.windowRate, round.bareRate, round.overhead(),
            round.windowCpuUs - round.bareCpuUs, round.eventsUs);
        rounds.push_back(round);
    }
    std::sort(rounds.begin(), rounds.end(),
        [](const Round& a, const Round& b) { return a.overhead() < b.overhead(); });
    const Round& median = rounds[kRounds / 2];
    std::printf("N = %d, %d iterations per image, %d rounds of %d ms each side\n",
        window.state.nCells, window.state.itersPerImage, kRounds, roundMs);
    std::printf("window run: %.0f it/s; bare engine: %.0f steps/s; ratio: %.3f; overhead: %.2f "
                "us/it (median round)\n",
        median.windowRate, median.bareRate, median.windowRate / median.bareRate, median.overhead());
    std::vector<double> events;
    for (const Round& r : rounds)
        events.push_back(r.eventsUs);
    std::sort(events.begin(), events.end());
    std::printf("event processing alone, with nothing pending: %.2f us per call (median round)\n",
        events[kRounds / 2]);
    return 0;
}
