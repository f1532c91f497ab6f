// Reaches the window's private drawing procedures from the tests.
#pragma once

#include "frmMain.h"

struct frmMain::TestAccess {
    static void draw1D(frmMain& w) { w.Draw1D(); }
    static void draw2DFromA(frmMain& w) { w.Draw2DFromA(); }
    static void draw2DFromB(frmMain& w) { w.Draw2DFromB(); }
    static void drawBrushPreview(frmMain& w) { w.DrawBrushPreview(); }
    static void picture6Click(frmMain& w, int index) { w.Picture6_Click(index); }
};
