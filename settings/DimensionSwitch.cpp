// The "1D"/"2D" options: resize at once and switch the view. Placing, scaling and drawing
// wait for the next intake.
#include "display/frmMain.h"

#include <QGroupBox>
#include <QRadioButton>

void frmMain::Option1_Click(int index)
{
    if (index == 0) {
        // A 2D loop must never step over arrays of the line's size: end that run first.
        if (state.running && active2DLoops_ > 0)
            endRun();
        state.resizeArrays(state.highestIndex1D());
        Picture1->show();
        Picture2->show();
        Picture3->hide();
        Frame3->hide();
    } else if (index == 1) {
        state.resizeArrays(state.highestIndex2D());
        Picture1->hide();
        Picture2->hide();
        Picture3->show();
        Frame3->show();
    }
}

void frmMain::connectDimensionSwitch()
{
    for (int i = 0; i < 2; ++i)
        connect(Option1[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
            [this, i] { Option1_Click(i); });
}
