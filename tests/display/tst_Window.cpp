#include "GuiTestSupport.h"

#include <QAction>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void captionIconAndMenus()
    {
        frmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Reaction-Diffusion simulator"));
        QCOMPARE(w.centralWidget()->size(), QSize(537, 361));
        QVERIFY(w.centralWidget()->y() >= w.menuBar()->geometry().bottom());
        QCOMPARE(w.windowIcon().actualSize(QSize(32, 32)), QSize(32, 32));
        QVERIFY(w.Spiral->text().isEmpty() && w.Spiral->iconSize() == QSize(32, 32));
        const auto menus = w.menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text() + menus[1]->text(), QStringLiteral("FileFunction"));
        QCOMPARE(w.mnuFile->actions(), QList<QAction*> { w.mnuSaveAs });
        QCOMPARE(w.mnuSaveAs->text(), QStringLiteral("Save As"));
        const QList<QAction*> items { w.mnuGM, w.mnuSch, w.mnuGS, w.mnuOre };
        QCOMPARE(w.mnuFunction->actions(), items);
        const char* captions[] = { "Gierer-Meinhardt", "Schnakenberg", "Gray-Scott", "Oregonator" };
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(items[i]->text(), QString::fromUtf8(captions[i]));
            QVERIFY(items[i]->isCheckable() && items[i]->shortcut().isEmpty());
            QCOMPARE(items[i]->isChecked(), i == 0);
            QCOMPARE(items[i]->isEnabled(), i != 0);
        }
    }

    void geometryInPixels()
    {
        frmMain w;
        const std::tuple<const char*, QWidget*, QRect> cases[] = {
            { "Frame1(3)", w.centralWidget(), { 8, 184, 521, 169 } },
            { "Line2", w.centralWidget(), { 0, 0, 536, 1 } },
            { "Picture2", w.centralWidget(), { 189, 110, 132, 66 } },
            { "Picture3", w.centralWidget(), { 189, 44, 132, 132 } },
            { "Run", w.centralWidget(), { 352, 80, 161, 57 } },
            { "Picture5", w.Frame3, { 88, 28, 25, 25 } },
            { "Option1(1)", w.Frame2, { 72, 16, 49, 17 } },
            { "Picture4x(2)", w.Frame1[2], { 376, 24, 121, 121 } },
            { "Text1(25)", w.Frame1[2], { 112, 48, 41, 18 } },
            { "Line1(8)", w.Frame1[3], { 96, 56, 32, 1 } },
        };
        for (auto [name, parent, rect] : cases) {
            const QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(c && c->parentWidget() == parent, name);
            QCOMPARE(c->geometry(), rect);
        }
    }

    void visibilityAndStacking()
    {
        auto w = gt::shownWindow();
        QVERIFY(!w->Picture3->isVisible() && !w->Frame3->isVisible());
        QVERIFY(w->Picture1->isVisible() && w->Picture2->isVisible());
        QVERIFY(w->Option1[0]->isChecked() && !w->Option1[1]->isChecked());
        QWidget* client = w->centralWidget();
        // Gierer-Meinhardt's panel is on top; once hidden, Frame1(1) lies above Frame1(2).
        for (int top : { 0, 1 }) {
            QWidget* hit = client->childAt(20, 300);
            QVERIFY(hit == w->Frame1[top] || w->Frame1[top]->isAncestorOf(hit));
            w->Frame1[top]->hide();
        }
        w->Picture3->show(); // the profile boxes lie above the field box
        QCOMPARE(client->childAt(200, 60), w->Picture1);
        QCOMPARE(client->childAt(200, 150), w->Picture2);
    }

    void boxesAndLabels()
    {
        frmMain w;
        const QStringList texts[4] = { { "3", "3", "0.01", "1", "20", "0.1", "1.5", "0.5" },
            { "3", "3", "0.01", "1", "20", "0.025", "1.55" },
            { "1", "1", "1", "10", "20", "0.04", "0.06" },
            { "1", "1", "0.001", "1", "20", "0.01", "1.0", "8e-4" } };
        for (int p = 0; p < 4; ++p)
            for (int k = 0; k < (p == 3 ? 8 : 10); ++k) {
                const QLineEdit* box = w.Text1[10 * p + k];
                QCOMPARE(box != nullptr, k < texts[p].size());
                QVERIFY(!box || (box->text() == texts[p][k] && box->parentWidget() == w.Frame1[p]));
            }
        QCOMPARE(w.Text3->text() + w.Text2->text() + w.Label2->text(), QStringLiteral("128200"));
        QCOMPARE(w.Run->text(), QStringLiteral("Start"));
        QVERIFY(w.Label2->alignment() & Qt::AlignRight);
        int perPanel[4] = {};
        for (int i = 1; i < 119; ++i)
            for (int p = 0; p < 4; ++p)
                perPanel[p] += w.Label1[i]->parentWidget() == w.Frame1[p];
        QCOMPARE(QList<int>(perPanel, perPanel + 4), (QList<int> { 31, 27, 29, 31 }));
        QVERIFY(!w.Label1[0]);
        // Gierer-Meinhardt's fraction, with a raised exponent sized to its text.
        QCOMPARE(w.Label1[84]->text() + w.Label1[85]->text(), QStringLiteral("u2"));
        QCOMPARE(w.Label1[84]->pos(), QPoint(240, 40));
        QCOMPARE(w.Label1[85]->geometry(), QRect(QPoint(256, 32), w.Label1[85]->sizeHint()));
        QCOMPARE(
            w.Label1[85]->palette().color(QPalette::Window), w.palette().color(QPalette::Button));
        QVERIFY(w.Label1[85]->autoFillBackground());
        QCOMPARE(w.Label1[33]->text(), QStringLiteral("scaling factor ="));
        QCOMPARE(w.Label1[33]->geometry(), QRect(40, 136, 89, 19));
        QCOMPARE(w.Label1[21]->text(), QStringLiteral("∂"));
    }

    void fontsResolveToSubstitutes()
    {
        frmMain w;
        const QString sans = QStringLiteral("Liberation Sans"),
                      gothic = QStringLiteral("IPAPGothic");
        // Where two installed files carry one family, the foundry is appended: "C059 [UKWN]".
        // Inside a frame, a control without a font of its own keeps the window's (Text1(2)).
        const std::tuple<QWidget*, QString, int, bool, bool> cases[]
            = { { w.Run, sans, 32, true, false }, { w.Label5, sans, 13, false, false },
                  { w.Label1[85], sans, 11, false, false }, { w.Frame1[0], "C059", 12, true, true },
                  { w.Label1[18], "Liberation Serif", 12, false, true },
                  { w.Label1[21], gothic, 12, false, true },
                  { w.Option1[0], gothic, 12, true, false },
                  { w.Text1[2], sans, 11, false, false } };
        for (auto [control, family, pixels, bold, italic] : cases) {
            const QFontInfo info(control->font());
            QCOMPARE(info.family().section(QStringLiteral(" ["), 0, 0), family);
            QCOMPARE(std::tuple(info.pixelSize(), info.bold(), info.italic()),
                std::tuple(pixels, bold, italic));
        }
    }

    void brushControlsAndBoxColours()
    {
        frmMain w;
        const QSlider *s1 = w.Slider1, *s2 = w.Slider2;
        QCOMPARE(
            std::tuple(s1->minimum(), s1->maximum(), s1->value(), s1->pageStep(), s1->singleStep()),
            std::tuple(0, 12, 7, 5, 1));
        QCOMPARE(std::tuple(s2->maximum(), s2->value(), s2->pageStep()), std::tuple(255, 255, 50));
        QVERIFY(s1->orientation() == Qt::Horizontal && s1->hasTracking() && s2->hasTracking());
        QCOMPARE(w.Label8[0]->text() + w.Label8[1]->text(), QStringLiteral("RadiusIntensity"));
        QCOMPARE(w.Picture6[0]->backColor(), QColor(255, 0, 0));
        QCOMPARE(w.Picture6[1]->backColor(), QColor(0, 0, 128));
        QVERIFY(!w.Picture5->hasBorder() && w.Picture6[0]->hasBorder() && w.Picture3->hasBorder());
        QCOMPARE(w.Picture3->backColor(), QColor(0, 0, 0));
        QCOMPARE(w.Picture1->backColor(), QColor(255, 255, 255));
        QCOMPARE(w.Picture43, w.Picture4x[3]);
        QCOMPARE(w.Picture40->backColor(), w.palette().color(QPalette::Button));
    }
};

int runWindowTests(int argc, char** argv)
{
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_Window.moc"
