// The simulated map: a run at every point through the sweep's machinery (its combinations,
// intake, start, steps and watch), and the mosaic of the final fields.
#include "batch/AtlasFrame.h"

#include "batch/BatchRun.h"
#include "batch/Interrupt.h"
#include "batch/RunScale.h"
#include "batch/Workers.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <new>
#include <thread>

namespace rd::batch {

namespace {

using namespace rd::analysis;

constexpr int kLeft = 150, kTop = 100, kLegend = 470, kBottom = 110, kFrame = 4, kGap = 2;
constexpr int kStates = 5;

QColor stateColour(RunState s)
{
    switch (s) {
    case RunState::Converged:
        return QColor(40, 165, 70);
    case RunState::StillChanging:
        return QColor(245, 170, 0);
    case RunState::Oscillating:
        return QColor(50, 110, 235);
    case RunState::Extinct:
        return QColor(165, 165, 165);
    case RunState::ArithmeticError:
        break;
    }
    return QColor(225, 30, 30);
}

// A sweep over the two axes, the y values outer: its combinations come row by row.
Options sweepOptions(const AtlasArgs& a)
{
    Options o = a.options;
    o.sweeps
        = { Sweep { a.y.name, a.y.field, a.y.texts }, Sweep { a.x.name, a.x.field, a.x.texts } };
    return o;
}

SimulatedPoint runPoint(
    const Options& o, const std::vector<std::string>& values, int threads, Progress& progress)
{
    SimulatedPoint point;
    Prepared run = prepareSettings(o, values);
    run.threads = threads;
    initialise(run, o, nullptr);
    const auto u = [&] { return currentU(run.state, run.oneD); };
    RunWatch watch(run.model, run.oneD, run.state, u(), false);
    std::int32_t reported = 0;
    RunFindings f;
    try {
        const std::int32_t taken = advance(run, o.steps, 0, {}, [&](std::int32_t n) {
            watch.afterStep(n, u());
            if (progress.enabled() && (n % 16 == 0 || n == o.steps)) {
                progress.addSteps(n - reported);
                reported = n;
            }
            return false;
        });
        f = watch.finish(taken, u());
    } catch (const StepFailed& e) {
        f = watch.failed(e.iteration());
        point.message = "iteration " + std::to_string(e.iteration()) + ": " + e.what();
    }
    progress.addSteps(o.steps - reported);
    progress.runDone();
    point.u.assign(u().begin(), u().end());
    point.ran = true;
    point.state = f.state;
    point.steps = f.steps;
    point.measured = f.measured;
    point.contrast = f.contrast;
    return point;
}

} // namespace

SimulatedMap simulateMap(const AtlasArgs& a, bool progressWanted)
{
    SimulatedMap m;
    // The prediction first: it also checks every value of both axes through the intake.
    m.prediction = classifyMap(a, a.jobs, {});
    const Options o = sweepOptions(a);
    const auto combos = combinations(o);
    m.n = m.prediction.base.n;
    const std::vector<std::size_t> members = shardMembers(combos.size(), a.shard);
    const CoreShare share = shareCores(o, m.n, members.size(), std::thread::hardware_concurrency());
    m.points.resize(combos.size());
    Progress progress(progressWanted, std::int64_t { o.steps } * std::ssize(members),
        static_cast<int>(members.size()));
    std::atomic<std::size_t> next { 0 };
    auto work = [&] {
        for (std::size_t i; interruptSignal() == 0 && (i = next++) < members.size();) {
            const std::size_t k = members[i];
            try {
                m.points[k] = runPoint(o, combos[k], share.threads, progress);
            } catch (const Interrupted&) {
                return;
            } catch (const std::bad_alloc&) {
                m.points[k].message = "out of memory";
            }
        }
    };
    runOnThreads(share.jobs, work);
    progress.finish();
    for (const std::size_t k : members)
        if (!m.points[k].ran && interruptSignal() == 0)
            throw std::bad_alloc();
    return m;
}

std::string simulatedCsv(const AtlasArgs& a, const SimulatedMap& m)
{
    std::string csv = "x_index,y_index," + a.x.name + "," + a.y.name
        + ",state,steps,measured_wavelength,contrast,predicted_class,predicted_wavelength,"
          "message\n";
    const std::size_t width = a.x.texts.size();
    for (std::size_t k = 0; k < m.points.size(); ++k) {
        const SimulatedPoint& p = m.points[k];
        const PointResult& r = m.prediction.points[k];
        std::string message = p.message;
        std::replace(message.begin(), message.end(), ',', ';');
        csv += std::to_string(k % width) + ',' + std::to_string(k / width) + ','
            + a.x.texts[k % width] + ',' + a.y.texts[k / width] + ',' + runStateName(p.state) + ','
            + std::to_string(p.steps) + ',' + findingText(p.measured) + ','
            + findingText(p.contrast) + ',' + pointClassWord(r.kind) + ','
            + findingText(r.wavelength) + ',' + message + '\n';
    }
    return csv;
}

QImage mosaicPicture(const AtlasArgs& a, const SimulatedMap& m)
{
    using namespace atlas;
    const int cx = static_cast<int>(a.x.values.size());
    const int cy = static_cast<int>(a.y.values.size());
    const int pitch = a.tile + kGap;
    // One value range for every tile, so that tiles compare.
    float lo = INFINITY, hi = -INFINITY;
    std::array<int, kStates> counts {};
    for (const SimulatedPoint& p : m.points) {
        ++counts[static_cast<std::size_t>(p.state)];
        if (p.state == RunState::ArithmeticError)
            continue;
        for (float v : p.u)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    }
    if (!(lo <= hi))
        lo = hi = 0.0f;
    const LevelScale scale { lo, hi > lo ? 255.0f / (hi - lo) : 0.0f };

    const QRectF plot(kLeft, kTop, cx * pitch, cy * pitch);
    const int height = kTop + std::max(cy * pitch, 620) + kBottom;
    QImage img(kLeft + cx * pitch + kLegend, height, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    img.fill(Qt::white);
    QPainter p(&img);
    const int side = a.options.oneD ? 1 : m.n;
    const int inner = a.tile - 2 * kFrame;
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i) {
            const SimulatedPoint& pt = m.points[static_cast<std::size_t>(j * cx + i)];
            const QRect tile(kLeft + i * pitch + kGap / 2, kTop + (cy - 1 - j) * pitch + kGap / 2,
                a.tile, a.tile);
            p.fillRect(tile, stateColour(pt.state));
            const QRect field = tile.adjusted(kFrame, kFrame, -kFrame, -kFrame);
            if (pt.state == RunState::ArithmeticError || pt.u.empty()) {
                p.fillRect(field, QColor(60, 60, 60));
                continue;
            }
            const QImage cells = colourField(pt.u, m.n, side, scale, a.colormap, 1);
            if (cells.isNull())
                throw std::bad_alloc();
            p.drawImage(
                field, cells.scaled(inner, inner, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
    p.setRenderHint(QPainter::Antialiasing);
    const AxisScale xs { &a.x, plot.left(), plot.width(), false };
    const AxisScale ys { &a.y, plot.top(), plot.height(), true };
    const bool inside = drawStartUp(p, plot, xs, ys, a);
    drawAxis(p, plot, xs, false, true, axisTitle(a, a.x));
    drawAxis(p, plot, ys, true, true, axisTitle(a, a.y));

    p.setPen(Qt::black);
    p.setFont(font(24, true));
    p.drawText(QRectF(kLeft, 18, img.width() - kLeft, 34), Qt::AlignLeft,
        QString("Final fields of u after %1 steps: %2").arg(a.options.steps).arg(gridText(a)));
    p.setFont(font(17));
    const std::string start = "start: " + a.initText
        + (a.options.init == InitKind::Random ? ", seed " + std::to_string(a.options.seed) : "");
    p.drawText(QRectF(kLeft, 56, img.width() - kLeft, 28), Qt::AlignLeft,
        QString("%1 \u00D7 %2 runs, %3; each tile framed by its run's state")
            .arg(cx)
            .arg(cy)
            .arg(QString::fromStdString(start)));

    const double lx = plot.right() + 40;
    double y = plot.top();
    p.setFont(font(18, true));
    p.drawText(QRectF(lx, y, kLegend, 26), Qt::AlignLeft | Qt::AlignVCenter, "Run state (frame)");
    y += 34;
    for (const RunState s : { RunState::Converged, RunState::StillChanging, RunState::Oscillating,
             RunState::Extinct, RunState::ArithmeticError })
        y = legendRow(p, lx, y, stateColour(s),
            QString("%1  (%2)").arg(runStateName(s)).arg(counts[static_cast<std::size_t>(s)]),
            true);
    y += 14;
    p.setFont(font(16));
    p.setPen(QPen(Qt::black, 2.5));
    p.drawEllipse(QPointF(lx + 13, y + 13), 9, 9);
    p.drawText(QRectF(lx + 36, y, kLegend - 40, 52), Qt::AlignLeft | Qt::TextWordWrap,
        startUpText(a, inside));
    y += 90;
    colourBar(
        p, QRectF(lx, y, 26, 220), lo, hi,
        [&](double f) {
            return QColor::fromRgb(
                colormapEntry(a.colormap, static_cast<int>(std::lround(f * 255))));
        },
        "u, one range for all tiles");
    return img;
}

} // namespace rd::batch
