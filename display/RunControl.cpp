// Start, Stop and the run loops. The loop runs inside the click of Run and lets pending
// events run after every step, so every other handler runs between two steps.
#include "display/frmMain.h"

#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "engine/RunLoop.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

void frmMain::Run_Click()
{
    const bool applied = ApplySettings();
    if (state.running) {
        // A Stop stops even when its intake was refused.
        endRun();
        return;
    }
    if (!applied)
        return;
    state.running = rd::kTrue;
    Run->setText(QStringLiteral("Stop"));
    if (Option1[0]->isChecked())
        Run1D();
    else if (Option1[1]->isChecked())
        Run2D();
}

void frmMain::endRun()
{
    state.running = rd::kFalse;
    Run->setText(QStringLiteral("Start"));
    // Show the run's last counter and frame now rather than at the next paced frame.
    paintDeferredFrame();
}

void frmMain::Step1D()
{
    rd::Step1D(state, checkedModel());
}
void frmMain::Step2DFromA()
{
    rd::Step2DFromA(state, checkedModel());
}
void frmMain::Step2DFromB()
{
    rd::Step2DFromB(state, checkedModel());
}

void frmMain::Run1D()
{
    std::int32_t shown = 0;
    try {
        rd::runLoop(
            state, [this] { Step1D(); }, [&](std::int32_t n) { showIteration(shown = n); },
            [this] { Draw1D(); }, [] { QCoreApplication::processEvents(); });
    } catch (const rd::EngineError& e) {
        // The line's state is still the last complete step (set A is written only by a
        // complete step); show it and say what happened.
        endRunWithError(e, shown);
        Draw1D();
    }
}

void frmMain::Run2D()
{
    // Counted so that a switch to "1D" knows a 2D loop is active (runs may nest).
    struct ActiveLoop {
        int& count;
        explicit ActiveLoop(int& c)
            : count(++c)
        { }
        ~ActiveLoop() { --count; }
    } active(active2DLoops_);
    std::int32_t shown = 0;
    try {
        rd::runLoop(
            state, [this] { state.phaseA ? Step2DFromA() : Step2DFromB(); },
            [&](std::int32_t n) { showIteration(shown = n); },
            [this] { state.phaseA ? Draw2DFromA() : Draw2DFromB(); },
            [] { QCoreApplication::processEvents(); });
    } catch (const rd::EngineError& e) {
        // An abandoned step leaves phaseA naming the last complete set. The next intake
        // makes set A current, so when B holds the last complete step it is copied into A:
        // going on must never start from the half-written set.
        endRunWithError(e, shown);
        if (!state.phaseA) {
            // Cells only: the spare element beyond the last cell belongs to neither set.
            const std::size_t cells = std::min(
                { static_cast<std::size_t>(state.nCells) * static_cast<std::size_t>(state.nCells),
                    state.uA.size(), state.uB.size(), state.vA.size(), state.vB.size() });
            std::copy_n(state.uB.begin(), cells, state.uA.begin());
            std::copy_n(state.vB.begin(), cells, state.vA.begin());
            state.phaseA = rd::kTrue;
        }
        Draw2DFromA();
    }
}

void frmMain::showIteration(std::int32_t n)
{
    Label2->setText(QString::number(n));
}

void frmMain::endRunWithError(const rd::EngineError& e, std::int32_t shownCounter)
{
    endRun();
    // The counter already shows the number of the step after the one that failed.
    const std::int32_t iteration = shownCounter == 0 ? 1 : shownCounter;
    ShowMessage(QStringLiteral("Run stopped"),
        QStringLiteral("The run stopped at iteration %1: %2. The field shows the last complete "
                       "step; change the settings and press Start to go on.")
            .arg(iteration)
            .arg(QString::fromStdString(e.what())));
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // A loop in progress ends at its next check, so the click handler returns and the
    // application's event loop can finish.
    state.running = rd::kFalse;
    event->accept();
}

void frmMain::connectRunControl()
{
    connect(Run, &QPushButton::clicked, this, &frmMain::Run_Click);
}
