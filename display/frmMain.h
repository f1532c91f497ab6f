// The main window. It owns the whole simulation state; its event handlers and procedures
// are members, defined across display/, settings/ and editing/ by what they are about.
#pragma once

#include "display/PictureBox.h"
#include "engine/SimState.h"

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <QMainWindow>

#include <array>
#include <utility>
#include <vector>

namespace rd {
class EngineError;
struct IntakeError;
} // namespace rd

class QAction;
class QCloseEvent;
class QMessageBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;

class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    rd::SimState state;

    // Controls, named and indexed as the window's design names them. Array slots that the
    // design leaves out stay nullptr.
    std::array<QLineEdit*, 38> Text1 {};
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    std::array<QLabel*, 119> Label1 {};
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    std::array<QLabel*, 2> Label8 {};
    std::array<QGroupBox*, 4> Frame1 {};
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 2> Option1 {};
    QPushButton* Run = nullptr;
    QPushButton* Random = nullptr;
    QPushButton* Clear = nullptr;
    QPushButton* Spiral = nullptr;
    QSlider* Slider1 = nullptr;
    QSlider* Slider2 = nullptr;
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    PictureBox* Picture3 = nullptr;
    PictureBox* Picture5 = nullptr;
    std::array<PictureBox*, 2> Picture6 {};
    // The model panels' plot boxes, also by their own names.
    std::array<PictureBox*, 4> Picture4x {};
    PictureBox*& Picture40 { Picture4x[0] };
    PictureBox*& Picture41 { Picture4x[1] };
    PictureBox*& Picture42 { Picture4x[2] };
    PictureBox*& Picture43 { Picture4x[3] };

    QAction* mnuSaveAs = nullptr;
    QAction* mnuGM = nullptr;
    QAction* mnuSch = nullptr;
    QAction* mnuGS = nullptr;
    QAction* mnuOre = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuFunction = nullptr;

    // Paints one brush disc centred on cell (k, l); defined with the spiral seeding.
    void PlotSpiral(int k, int l);

    // The model whose "Function" entry is checked; the menu is the only record of it.
    rd::Model checkedModel() const;

    // The text of the last refusal or error told to the user.
    QString lastMessage;

    // Tests of each area define this to reach the private procedures.
    struct TestAccess;

private:
    void createActions();
    void createMenus();
    void bindControls();
    void setUpBrushControls();
    void centreOnScreen();

    // Pictures (display/Draw2D.cpp, display/Draw1D.cpp).
    void Draw2DFromA();
    void Draw2DFromB();
    void Draw2D(const std::vector<float>& u);
    void Draw1D();

    // Brush (editing/BrushPreview.cpp).
    void DrawBrushPreview();
    void Picture6_Click(int index);

    // The handlers, defined in settings/, editing/ and display/ files by subject; each file
    // also makes its own signal connections (connectHandlers calls them all).
    void Form_Load();
    // False when a box was refused; then nothing at all has changed.
    bool ApplySettings();
    void Run_Click();
    void Run1D();
    void Run2D();
    void mnuGM_Click();
    void mnuSch_Click();
    void mnuGS_Click();
    void mnuOre_Click();
    void mnuSaveAs_Click();
    void Option1_Click(int index);
    void Random_Click();
    void Clear_Click();
    void Spiral_Click();
    void Picture1_MouseDown(int button, int shift, float x, float y);
    void Picture1_MouseMove(int button, int shift, float x, float y);
    void Picture1_MouseUp(int button, int shift, float x, float y);
    void Picture2_MouseDown(int button, int shift, float x, float y);
    void Picture2_MouseMove(int button, int shift, float x, float y);
    void Picture2_MouseUp(int button, int shift, float x, float y);
    void Picture3_MouseDown(int button, int shift, float x, float y);
    void Picture3_MouseMove(int button, int shift, float x, float y);
    void Picture3_MouseUp(int button, int shift, float x, float y);
    void Picture4x_MouseUp(int index, int button, int shift, float x, float y);

    // The integrator steps on the state with the checked model (engine/Integrators.h).
    void Step1D();
    void Step2DFromA();
    void Step2DFromB();

    // Behind the handlers.
    void connectHandlers();
    void connectRunControl();
    void connectModelSelection();
    void connectDimensionSwitch();
    void connectFieldInit();
    void connectBrushPainting();
    void connectProfileDrawing();
    void connectSpiral();
    void connectPanelPlots();
    void connectImageExport();
    void selectModel(rd::Model chosen);
    void endRun();
    void showIteration(std::int32_t n);
    void endRunWithError(const rd::EngineError& e, std::int32_t shownCounter);
    void refuseIntake(const rd::IntakeError& error);
    void clearRefusalMark();
    void ShowMessage(const QString& title, const QString& text);
    void paintDisc(float X, float Y);
    void paintCell(std::int32_t i, std::int32_t j, std::int32_t a);
    struct ProfileEditor {
        PictureBox* box;
        std::vector<float>* cells;
        float top;
        QColor colour;
    };
    ProfileEditor profileEditor(int box);
    void profileEdit(const ProfileEditor& e, float X, float value);
    void profileEditAt(int box, float X, float Y);
    void profileDown(int box, int button, float X, float Y);
    void profileMove(int box, float X, float Y);
    void saveBoxImages(const std::vector<std::pair<const PictureBox*, QString>>& pictures);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* e) override;

private:
    void setUpPaintPacing();
    void paintDeferredFrame();
    QElapsedTimer lastFrame_;
    QTimer deferredFrame_;
    bool framePending_ = false;
    int active2DLoops_ = 0;
    QLineEdit* refusedBox_ = nullptr;
    QMessageBox* messageBox_ = nullptr;
};
