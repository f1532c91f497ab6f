#include "display/frmMain.h"

#include "display/Fonts.h"
#include "display/Icons.h"
#include "display/WindowLayout.h"

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>

namespace {

constexpr int kClientWidth = 537;
constexpr int kClientHeight = 361;

template <typename T>
T* control(const QHash<QString, QWidget*>& made, const char* name, int index = -1)
{
    return qobject_cast<T*>(made.value(rd::layout::key(name, index)));
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent)
{
    rd::fonts::installSubstitutes();
    setWindowTitle(QStringLiteral("Reaction-Diffusion simulator"));
    setWindowIcon(rd::icons::windowIcon());

    createActions();
    createMenus();

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setFont(rd::fonts::windowDefault());
    setCentralWidget(client);
    bindControls();
    setUpBrushControls();
    // The counter takes a new text every step of a run: at a fixed size that text asks for
    // no new layout, only a repaint, and as plain text it is not inspected for markup.
    Label2->setFixedSize(Label2->size());
    Label2->setTextFormat(Qt::PlainText);

    // The layout does not follow a change of size: the window keeps its designed size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen();
    connectHandlers();
    Form_Load();
}

void frmMain::connectHandlers()
{
    setUpPaintPacing();
    connectRunControl();
    connectModelSelection();
    connectDimensionSwitch();
    connectFieldInit();
    connectBrushPainting();
    connectProfileDrawing();
    connectSpiral();
    connectPanelPlots();
    connectImageExport();
}

frmMain::~frmMain() = default;

void frmMain::createActions()
{
    // Plain captions: no '&', so no mnemonics, and no shortcut keys.
    mnuSaveAs = new QAction(QStringLiteral("Save As"), this);
    const auto model = [this](const char* caption) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setCheckable(true);
        return a;
    };
    mnuGM = model("Gierer-Meinhardt");
    mnuSch = model("Schnakenberg");
    mnuGS = model("Gray-Scott");
    mnuOre = model("Oregonator");
    // The model in use is checked and cannot be chosen again.
    mnuGM->setChecked(true);
    mnuGM->setEnabled(false);
}

void frmMain::createMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->addAction(mnuSaveAs);
    mnuFunction = menuBar()->addMenu(QStringLiteral("Function"));
    mnuFunction->addAction(mnuGM);
    mnuFunction->addAction(mnuSch);
    mnuFunction->addAction(mnuGS);
    mnuFunction->addAction(mnuOre);
}

void frmMain::bindControls()
{
    const auto made = rd::layout::build(centralWidget());
    for (int i = 0; i < int(Text1.size()); ++i)
        Text1[i] = control<QLineEdit>(made, "Text1", i);
    Text2 = control<QLineEdit>(made, "Text2");
    Text3 = control<QLineEdit>(made, "Text3");
    for (int i = 0; i < int(Label1.size()); ++i)
        Label1[i] = control<QLabel>(made, "Label1", i);
    Label2 = control<QLabel>(made, "Label2");
    Label3 = control<QLabel>(made, "Label3");
    Label4 = control<QLabel>(made, "Label4");
    Label5 = control<QLabel>(made, "Label5");
    for (int i = 0; i < 2; ++i) {
        Label8[i] = control<QLabel>(made, "Label8", i);
        Option1[i] = control<QRadioButton>(made, "Option1", i);
        Picture6[i] = control<PictureBox>(made, "Picture6", i);
    }
    for (int i = 0; i < 4; ++i) {
        Frame1[i] = control<QGroupBox>(made, "Frame1", i);
        Picture4x[i] = control<PictureBox>(made, "Picture4x", i);
    }
    Frame2 = control<QGroupBox>(made, "Frame2");
    Frame3 = control<QGroupBox>(made, "Frame3");
    Run = control<QPushButton>(made, "Run");
    Random = control<QPushButton>(made, "Random");
    Clear = control<QPushButton>(made, "Clear");
    Spiral = control<QPushButton>(made, "Spiral");
    Slider1 = control<QSlider>(made, "Slider1");
    Slider2 = control<QSlider>(made, "Slider2");
    Picture1 = control<PictureBox>(made, "Picture1");
    Picture2 = control<PictureBox>(made, "Picture2");
    Picture3 = control<PictureBox>(made, "Picture3");
    Picture5 = control<PictureBox>(made, "Picture5");

    // "Random" comes first in the tab order.
    QWidget::setTabOrder(Random, Clear);
    Random->setFocus();
}

void frmMain::setUpBrushControls()
{
    Spiral->setIcon(QIcon(QPixmap::fromImage(rd::icons::spiralPicture())));
    Spiral->setIconSize(QSize(32, 32));

    Slider1->setRange(0, 12);
    Slider1->setValue(7);
    Slider1->setPageStep(5);
    Slider1->setSingleStep(1);
    Slider2->setRange(0, 255);
    Slider2->setValue(255);
    Slider2->setPageStep(50);
    Slider2->setSingleStep(1);
    // Tracking: the preview follows every intermediate value while the thumb is dragged.
    for (QSlider* s : { Slider1, Slider2 }) {
        s->setTracking(true);
        connect(s, &QSlider::valueChanged, this, &frmMain::DrawBrushPreview);
    }
    for (int i = 0; i < 2; ++i)
        connect(Picture6[i], &PictureBox::clicked, this, [this, i] { Picture6_Click(i); });
}

void frmMain::centreOnScreen()
{
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
