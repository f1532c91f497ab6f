// "Random" and "Clear": the whole field at once, in set A.
#include "display/frmMain.h"

#include "engine/FieldInit.h"

#include <QPushButton>
#include <QRadioButton>

#include <chrono>

void frmMain::Random_Click()
{
    // Reseeded from the clock on every click.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    rd::UniformSource rng(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    const bool oneD = Option1[0]->isChecked();
    rd::fillRandom(state, oneD, rng);
    if (oneD)
        Draw1D();
    else
        Draw2DFromA();
}

void frmMain::Clear_Click()
{
    // A refused intake clears nothing.
    if (!ApplySettings())
        return;
    const bool oneD = Option1[0]->isChecked();
    rd::clearField(state, oneD);
    if (oneD)
        Draw1D();
    else
        Draw2DFromA();
}

void frmMain::connectFieldInit()
{
    connect(Random, &QPushButton::clicked, this, &frmMain::Random_Click);
    connect(Clear, &QPushButton::clicked, this, &frmMain::Clear_Click);
}
