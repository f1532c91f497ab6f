#include "tst_Window.h"

#include "Fonts.h"
#include "frmMain.h"

#include <QAction>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <memory>

namespace {

QWidget* named(frmMain& w, const QString& name)
{
    if (name == QLatin1String("client"))
        return w.centralWidget();
    return w.findChild<QWidget*>(name);
}

} // namespace

void TestWindow::captionClientAreaAndIcon()
{
    frmMain w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Reaction-Diffusion simulator"));
    QCOMPARE(w.centralWidget()->size(), QSize(537, 361));
    // The client area lies below the menu bar.
    QVERIFY(w.centralWidget()->y() >= w.menuBar()->geometry().bottom());
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(w.windowIcon().actualSize(QSize(32, 32)), QSize(32, 32));
    QCOMPARE(w.Spiral->iconSize(), QSize(32, 32));
    QVERIFY(w.Spiral->text().isEmpty());
    // The Line2 rule runs along the top edge of the client area.
    QCOMPARE(named(w, QStringLiteral("Line2"))->geometry(), QRect(0, 0, 536, 1));
}

void TestWindow::geometryInPixels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("rect");
    for (int i = 0; i < 4; ++i)
        QTest::addRow("Frame1(%d)", i)
            << QStringLiteral("Frame1(%1)").arg(i) << "client" << QRect(8, 184, 521, 169);
    QTest::newRow("Picture1") << "Picture1"
                              << "client" << QRect(189, 44, 132, 66);
    QTest::newRow("Picture2") << "Picture2"
                              << "client" << QRect(189, 110, 132, 66);
    QTest::newRow("Picture3") << "Picture3"
                              << "client" << QRect(189, 44, 132, 132);
    QTest::newRow("Run") << "Run"
                         << "client" << QRect(352, 80, 161, 57);
    QTest::newRow("Random") << "Random"
                            << "client" << QRect(352, 136, 81, 33);
    QTest::newRow("Text3") << "Text3"
                           << "client" << QRect(280, 16, 25, 18);
    QTest::newRow("Text2") << "Text2"
                           << "client" << QRect(368, 48, 33, 18);
    QTest::newRow("Label2") << "Label2"
                            << "client" << QRect(368, 16, 81, 17);
    QTest::newRow("Frame3") << "Frame3"
                            << "client" << QRect(24, 16, 129, 113);
    QTest::newRow("Frame2") << "Frame2"
                            << "client" << QRect(24, 128, 129, 41);
    QTest::newRow("Picture5") << "Picture5"
                              << "Frame3" << QRect(88, 28, 25, 25);
    QTest::newRow("Picture6(0)") << "Picture6(0)"
                                 << "Frame3" << QRect(56, 24, 17, 17);
    QTest::newRow("Slider1") << "Slider1"
                             << "Frame3" << QRect(56, 72, 65, 17);
    QTest::newRow("Option1(1)") << "Option1(1)"
                                << "Frame2" << QRect(72, 16, 49, 17);
    QTest::newRow("Picture42") << "Picture4x(2)"
                               << "Frame1(2)" << QRect(376, 24, 121, 121);
    QTest::newRow("Text1(31)") << "Text1(31)"
                               << "Frame1(3)" << QRect(352, 24, 25, 18);
    QTest::newRow("Text1(20)") << "Text1(20)"
                               << "Frame1(2)" << QRect(472, 144, 25, 18);
    QTest::newRow("Text1(25)") << "Text1(25)"
                               << "Frame1(2)" << QRect(112, 48, 41, 18);
    QTest::newRow("Text1(36)") << "Text1(36)"
                               << "Frame1(3)" << QRect(200, 48, 25, 18);
    QTest::newRow("Line3(0)") << "Line3(0)"
                              << "Frame1(0)" << QRect(200, 56, 104, 1);
    QTest::newRow("Line1(8)") << "Line1(8)"
                              << "Frame1(3)" << QRect(96, 56, 32, 1);
}

void TestWindow::geometryInPixels()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, rect);
    frmMain w;
    QWidget* c = named(w, name);
    QVERIFY2(c, qPrintable(name));
    QCOMPARE(c->parentWidget(), named(w, parent));
    QCOMPARE(c->geometry(), rect);
}

void TestWindow::initialVisibilityAndStacking()
{
    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.Picture3->isVisible());
    QVERIFY(!w.Frame3->isVisible());
    QVERIFY(w.Picture1->isVisible() && w.Picture2->isVisible());
    QVERIFY(w.Option1[0]->isChecked());
    QVERIFY(!w.Option1[1]->isChecked());
    for (QGroupBox* f : w.Frame1)
        QVERIFY(f->isVisible());
    QWidget* client = w.centralWidget();
    // Gierer-Meinhardt's panel is the one on top of the four.
    QWidget* hit = client->childAt(20, 300);
    QVERIFY(hit);
    QVERIFY(hit == w.Frame1[0] || w.Frame1[0]->isAncestorOf(hit));
    // Listed before it, Frame1(1) lies above Frame1(2) once the first is hidden.
    w.Frame1[0]->hide();
    hit = client->childAt(20, 300);
    QVERIFY(hit == w.Frame1[1] || w.Frame1[1]->isAncestorOf(hit));
    // The profile boxes lie above the field box where they overlap.
    w.Picture3->show();
    QCOMPARE(client->childAt(200, 60), w.Picture1);
    QCOMPARE(client->childAt(200, 150), w.Picture2);
}

void TestWindow::menus()
{
    frmMain w;
    const auto menus = w.menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("File"));
    QCOMPARE(menus[1]->text(), QStringLiteral("Function"));
    QCOMPARE(w.mnuFile->actions(), QList<QAction*> { w.mnuSaveAs });
    QCOMPARE(w.mnuFunction->actions(), (QList<QAction*> { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre }));
    QCOMPARE(w.mnuSaveAs->text(), QStringLiteral("Save As"));
    QVERIFY(w.mnuSaveAs->isEnabled());
    const QStringList captions { "Gierer-Meinhardt", "Schnakenberg", "Gray-Scott", "Oregonator" };
    const QAction* items[] = { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(items[i]->text(), captions[i]);
        QVERIFY(items[i]->isCheckable());
        QCOMPARE(items[i]->isChecked(), i == 0);
        QCOMPARE(items[i]->isEnabled(), i != 0);
        QVERIFY(items[i]->shortcut().isEmpty());
    }
    QVERIFY(w.mnuSaveAs->shortcut().isEmpty());
}

void TestWindow::panelTextBoxes()
{
    frmMain w;
    const QStringList texts[4] = {
        { "3", "3", "0.01", "1", "20", "0.1", "1.5", "0.5" },
        { "3", "3", "0.01", "1", "20", "0.025", "1.55" },
        { "1", "1", "1", "10", "20", "0.04", "0.06" },
        { "1", "1", "0.001", "1", "20", "0.01", "1.0", "8e-4" },
    };
    for (int p = 0; p < 4; ++p) {
        for (int k = 0; k < 10; ++k) {
            QLineEdit* box = w.Text1[10 * p + k];
            if (p == 3 && k >= 8)
                break;
            if (k >= texts[p].size()) {
                QVERIFY2(!box, qPrintable(QStringLiteral("Text1(%1)").arg(10 * p + k)));
                continue;
            }
            QVERIFY(box);
            QCOMPARE(box->text(), texts[p][k]);
            QCOMPARE(box->parentWidget(), w.Frame1[p]);
        }
    }
    QCOMPARE(w.Text3->text(), QStringLiteral("128"));
    QCOMPARE(w.Text2->text(), QStringLiteral("20"));
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    QCOMPARE(w.Label2->text(), QStringLiteral("0"));
    QVERIFY(w.Label2->alignment() & Qt::AlignRight);
    QVERIFY(w.Label4->alignment() & Qt::AlignHCenter);
    QCOMPARE(w.Frame1[2]->title(), QStringLiteral("Gray-Scott"));
    QVERIFY(w.Frame2->title().isEmpty() && w.Frame3->title().isEmpty());
}

void TestWindow::equationLabels()
{
    frmMain w;
    QVERIFY(!w.Label1[0]);
    int perPanel[4] = {};
    for (int i = 1; i < 119; ++i) {
        QVERIFY2(w.Label1[i], qPrintable(QString::number(i)));
        for (int p = 0; p < 4; ++p)
            perPanel[p] += w.Label1[i]->parentWidget() == w.Frame1[p];
    }
    QCOMPARE(perPanel[0], 31);
    QCOMPARE(perPanel[1], 27);
    QCOMPARE(perPanel[2], 29);
    QCOMPARE(perPanel[3], 31);

    // Gierer-Meinhardt: the fraction u^2 / v (1+ [7] u^2), with raised exponents.
    QCOMPARE(w.Label1[84]->text(), QStringLiteral("u"));
    QCOMPARE(w.Label1[84]->pos(), QPoint(240, 40));
    QCOMPARE(w.Label1[85]->text(), QStringLiteral("2"));
    QCOMPARE(w.Label1[85]->pos(), QPoint(256, 32));
    QCOMPARE(w.Label1[87]->text(), QStringLiteral("(1+"));
    QCOMPARE(w.Label1[87]->pos(), QPoint(216, 64));
    QCOMPARE(w.Label1[90]->text(), QStringLiteral(")"));
    QCOMPARE(w.Label1[14]->text(), QStringLiteral("-6"));
    QCOMPARE(w.Label1[14]->geometry().topLeft(), QPoint(302, 112));
    QCOMPARE(w.Label1[14]->width(), 18);
    QCOMPARE(w.Label1[20]->width(), 17);
    QCOMPARE(w.Label1[33]->text(), QStringLiteral("scaling factor ="));
    QCOMPARE(w.Label1[33]->geometry(), QRect(40, 136, 89, 19));
    QCOMPARE(w.Label1[21]->text(), QStringLiteral("∂"));
    QCOMPARE(w.Label1[21]->pos(), QPoint(40, 41));
    QCOMPARE(w.Label1[19]->pos(), QPoint(57, 104));
    QCOMPARE(w.Label1[63]->text(), QStringLiteral("F"));
    QCOMPARE(w.Label1[63]->width(), 41);
    QCOMPARE(w.Label1[102]->text(), QStringLiteral("8e-4"));
    QCOMPARE(w.Label1[64]->text(), QStringLiteral(") u +"));
    QCOMPARE(w.Label1[64]->pos(), QPoint(203, 48));

    // Small labels are sized to their text and share the system grey.
    const QColor grey = w.palette().color(QPalette::Button);
    for (int i : { 4, 5, 13, 18, 85 }) {
        QCOMPARE(w.Label1[i]->size(), w.Label1[i]->sizeHint());
        QCOMPARE(w.Label1[i]->palette().color(QPalette::Window), grey);
        QVERIFY(w.Label1[i]->autoFillBackground());
    }
    QCOMPARE(w.Label8[0]->size(), w.Label8[0]->sizeHint());
}

void TestWindow::fontsResolveToSubstitutes_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::newRow("Run: Arial Black 24") << "Run"
                                         << "Liberation Sans" << 32 << true << false;
    QTest::newRow("Clear: Arial 12 bold") << "Clear"
                                          << "Liberation Sans" << 16 << true << false;
    QTest::newRow("Label5: Arial 9.75") << "Label5"
                                        << "Liberation Sans" << 13 << false << false;
    QTest::newRow("Label4: Arial 9") << "Label4"
                                     << "Liberation Sans" << 12 << false << false;
    QTest::newRow("Frame1(0): Century") << "Frame1(0)"
                                        << "C059" << 12 << true << true;
    QTest::newRow("t: Times New Roman") << "Label1(18)"
                                        << "Liberation Serif" << 12 << false << true;
    QTest::newRow("partial: Gothic") << "Label1(21)"
                                     << "IPAPGothic" << 12 << false << true;
    QTest::newRow("X 10: Gothic 9") << "Label1(12)"
                                    << "IPAPGothic" << 12 << false << false;
    QTest::newRow("exponent: Arial 8.25") << "Label1(85)"
                                          << "Liberation Sans" << 11 << false << false;
    QTest::newRow("bracket: Arial 12") << "Label1(99)"
                                       << "Liberation Sans" << 16 << false << false;
    QTest::newRow("Option1(0)") << "Option1(0)"
                                << "IPAPGothic" << 12 << true << false;
    QTest::newRow("Label8(1)") << "Label8(1)"
                               << "IPAPGothic" << 11 << false << false;
    // Inside a frame, a control without a font of its own keeps the window's, not the frame's.
    QTest::newRow("Text1(2)") << "Text1(2)"
                              << "Liberation Sans" << 11 << false << false;
}

void TestWindow::fontsResolveToSubstitutes()
{
    QFETCH(QString, control);
    QFETCH(QString, family);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    frmMain w;
    QWidget* c = named(w, control);
    QVERIFY(c);
    const QFontInfo info(c->font());
    // Where two installed files carry the same family, the foundry is appended: "C059 [UKWN]".
    QCOMPARE(info.family().section(QStringLiteral(" ["), 0, 0), family);
    QCOMPARE(info.pixelSize(), pixels);
    QCOMPARE(info.bold(), bold);
    QCOMPARE(info.italic(), italic);
    if (control == QLatin1String("Run"))
        QVERIFY(info.weight() > QFont::Normal);
}

void TestWindow::brushControls()
{
    frmMain w;
    QCOMPARE(w.Slider1->orientation(), Qt::Horizontal);
    QCOMPARE(w.Slider1->minimum(), 0);
    QCOMPARE(w.Slider1->maximum(), 12);
    QCOMPARE(w.Slider1->value(), 7);
    QCOMPARE(w.Slider1->pageStep(), 5);
    QCOMPARE(w.Slider1->singleStep(), 1);
    QCOMPARE(w.Slider2->maximum(), 255);
    QCOMPARE(w.Slider2->value(), 255);
    QCOMPARE(w.Slider2->pageStep(), 50);
    QVERIFY(w.Slider1->hasTracking() && w.Slider2->hasTracking());
    QCOMPARE(w.Label8[0]->text(), QStringLiteral("Radius"));
    QCOMPARE(w.Label8[1]->text(), QStringLiteral("Intensity"));
    QCOMPARE(w.Picture6[0]->backColor(), QColor(255, 0, 0));
    QCOMPARE(w.Picture6[1]->backColor(), QColor(0, 0, 128));
    QVERIFY(!w.Picture5->hasBorder());
    QCOMPARE(w.Picture5->innerWidth(), 25);
    QVERIFY(w.Picture6[0]->hasBorder() && w.Picture40->hasBorder() && w.Picture3->hasBorder());
    QCOMPARE(w.Picture3->backColor(), QColor(0, 0, 0));
    QCOMPARE(w.Picture1->backColor(), QColor(255, 255, 255));
    QCOMPARE(w.Picture43, w.Picture4x[3]);
    QCOMPARE(w.Picture40->backColor(), w.palette().color(QPalette::Button));
}
