// The brush: preview of the disc in Picture5 and the choice of the painted species.
#include "display/frmMain.h"

#include <QSlider>

#include <cmath>

void frmMain::DrawBrushPreview()
{
    Picture5->clear();
    const int r = Slider1->value();
    // The intensity becomes a colour component; the slider keeps it within 0..255.
    const auto a = static_cast<std::int16_t>(Slider2->value());
    const QColor mark = state.paintU ? QColor(a, 0, 0) : QColor(0, 0, a);
    for (int n = 0; n <= 24; ++n) {
        for (int i = 0; i <= 24; ++i) {
            const int d2 = (n - 12) * (n - 12) + (i - 12) * (i - 12);
            const float dist = static_cast<float>(std::sqrt(static_cast<double>(d2)));
            if (dist <= static_cast<float>(r))
                Picture5->pset(static_cast<float>(i), static_cast<float>(n), mark);
        }
    }
}

void frmMain::Picture6_Click(int index)
{
    // The selected swatch at full strength, the other at half.
    if (index == 0) {
        Picture6[0]->setBackColor(QColor(255, 0, 0));
        Picture6[1]->setBackColor(QColor(0, 0, 127));
        state.paintU = rd::kTrue;
    } else if (index == 1) {
        Picture6[0]->setBackColor(QColor(127, 0, 0));
        Picture6[1]->setBackColor(QColor(0, 0, 255));
        state.paintU = rd::kFalse;
    } else {
        return;
    }
    DrawBrushPreview();
}
