// The "Function" menu: the check mark is the model selection; nothing else stores it.
#include "display/frmMain.h"

#include "settings/ModelBoxes.h"

#include <QAction>
#include <QGroupBox>

void frmMain::selectModel(rd::Model chosen)
{
    const std::array<QAction*, 4> entries { mnuGM, mnuSch, mnuGS, mnuOre };
    for (int m = 0; m < rd::kModelCount; ++m) {
        const bool isChosen = m == rd::modelNumber(chosen);
        entries[static_cast<std::size_t>(m)]->setChecked(isChosen);
        entries[static_cast<std::size_t>(m)]->setEnabled(!isChosen);
        Frame1[static_cast<std::size_t>(m)]->setVisible(isChosen);
    }
    ApplySettings();
}

void frmMain::mnuGM_Click()
{
    selectModel(rd::Model::GiererMeinhardt);
}
void frmMain::mnuSch_Click()
{
    selectModel(rd::Model::Schnakenberg);
}
void frmMain::mnuGS_Click()
{
    selectModel(rd::Model::GrayScott);
}
void frmMain::mnuOre_Click()
{
    selectModel(rd::Model::Oregonator);
}

void frmMain::connectModelSelection()
{
    connect(mnuGM, &QAction::triggered, this, &frmMain::mnuGM_Click);
    connect(mnuSch, &QAction::triggered, this, &frmMain::mnuSch_Click);
    connect(mnuGS, &QAction::triggered, this, &frmMain::mnuGS_Click);
    connect(mnuOre, &QAction::triggered, this, &frmMain::mnuOre_Click);
}
