// Start-up and the settings intake: the window's boxes into the simulation state.
#include "display/frmMain.h"

#include "settings/Intake.h"
#include "settings/ModelBoxes.h"
#include "settings/NumberText.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// Plot boxes are centred on x = 255 (and y = 110 in 2D); a half pixel from an odd size is
// rounded as the window system rounds, to the even neighbour.
int centredEdge(double centre, std::int32_t nCells)
{
    return rd::roundHalfEven(centre - static_cast<double>(nCells) / 2.0 - 2.0).value_or(0);
}

} // namespace

rd::Model frmMain::checkedModel() const
{
    // Tested in this order; the Oregonator when none of the first three is checked.
    if (mnuGM->isChecked())
        return rd::Model::GiererMeinhardt;
    if (mnuSch->isChecked())
        return rd::Model::Schnakenberg;
    if (mnuGS->isChecked())
        return rd::Model::GrayScott;
    return rd::Model::Oregonator;
}

void frmMain::Form_Load()
{
    state.dt = 1.0f;
    state.dx = 0.01f;
    ApplySettings();
    state.paintU = rd::kTrue;
    state.phaseA = rd::kTrue;
    state.running = rd::kFalse;
    // Until the next intake in 1D the profiles' right edge is lastIdx, not nCells.
    Picture1->setScale(0.0f, state.uMax, static_cast<float>(state.lastIdx), 0.0f);
    Picture2->setScale(0.0f, state.vMax, static_cast<float>(state.lastIdx), 0.0f);
    for (PictureBox* box : Picture4x)
        box->setScale(0.0f, state.vMax, state.uMax, 0.0f);
    DrawBrushPreview();
}

bool frmMain::ApplySettings()
{
    const rd::Model model = checkedModel();
    rd::IntakeInput input;
    input.itersText = Text2->text().toStdString();
    input.sizeText = Text3->text().toStdString();
    input.model = model;
    for (int k = 0; k < 8; ++k)
        if (QLineEdit* box = Text1[static_cast<std::size_t>(rd::boxIndex(model, k))])
            input.boxes[static_cast<std::size_t>(k)] = box->text().toStdString();
    input.oneD = Option1[0]->isChecked();

    // Every box is checked before anything is applied, so a refusal changes nothing.
    const auto result = rd::evaluateIntake(input, state.dt, state.dx);
    if (const auto* error = std::get_if<rd::IntakeError>(&result)) {
        refuseIntake(*error);
        return false;
    }
    clearRefusalMark();
    const auto& values = std::get<rd::IntakeValues>(result);
    rd::applyIntake(state, values);
    if (values.sizeCapped)
        Text3->setText(QString::number(state.lastIdx + 1));

    const rd::ModelInfo& info = rd::modelInfo(model);
    if (info.labelIndex >= 0)
        Label1[static_cast<std::size_t>(info.labelIndex)]->setText(
            Text1[static_cast<std::size_t>(info.labelSource)]->text());
    Picture4x[static_cast<std::size_t>(rd::modelNumber(model))]->setScale(
        0.0f, state.vMax, state.uMax, 0.0f);

    const int left = centredEdge(255.0, state.nCells);
    const int side = state.nCells + 4;
    if (input.oneD) {
        state.resizeArrays(state.highestIndex1D());
        Picture1->setGeometry(left, Picture1->y(), side, Picture1->height());
        Picture2->setGeometry(left, Picture2->y(), side, Picture2->height());
        Picture1->setScale(0.0f, state.uMax, static_cast<float>(state.nCells), 0.0f);
        Picture2->setScale(0.0f, state.vMax, static_cast<float>(state.nCells), 0.0f);
        Draw1D();
    } else {
        state.resizeArrays(state.highestIndex2D());
        Picture3->setGeometry(left, centredEdge(110.0, state.nCells), side, side);
        Draw2DFromA();
    }
    return true;
}

void frmMain::refuseIntake(const rd::IntakeError& error)
{
    QLineEdit* box = error.boxIndex == rd::kItersBox ? Text2
        : error.boxIndex == rd::kSizeBox             ? Text3
                                         : Text1[static_cast<std::size_t>(error.boxIndex)];
    clearRefusalMark();
    QString text
        = QString::fromStdString(error.message) + QStringLiteral(" The settings were not changed.");
    if (state.running) {
        // A run must never go on with coefficients that do not belong to the checked model.
        endRun();
        text += QStringLiteral(" The run was stopped.");
    }
    if (box) {
        refusedBox_ = box;
        box->setStyleSheet(QStringLiteral("QLineEdit { background: #ffd0d0; }"));
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
    }
    ShowMessage(QStringLiteral("Settings not applied"), text);
}

void frmMain::clearRefusalMark()
{
    if (refusedBox_)
        refusedBox_->setStyleSheet(QString());
    refusedBox_ = nullptr;
}
