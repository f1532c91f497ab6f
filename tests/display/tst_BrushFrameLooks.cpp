// The brush frame as seen: the slider captions end before their sliders, and the Spiral button's
// raised edge shows on all four sides around its picture.
#include "tests/support/GuiTestSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace gt;

class TestBrushFrameLooks : public QObject {
    Q_OBJECT

private slots:
    void captionsEndBeforeTheirSliders()
    {
        frmMain w;
        for (const auto& [caption, slider] :
            { std::pair { w.Label8[0], w.Slider1 }, std::pair { w.Label8[1], w.Slider2 } }) {
            const int textWidth = QFontMetrics(caption->font()).horizontalAdvance(caption->text());
            QVERIFY(textWidth <= caption->width());
            // At least one free pixel between the caption's last column and the slider's first.
            QVERIFY2(caption->geometry().right() + 1 < slider->x(), qPrintable(caption->text()));
        }
    }

    void spiralButtonShowsItsEdgeAllRound()
    {
        auto w = shownWindow();
        switchTo2D(*w);
        QPushButton plain(w->Frame3);
        plain.setGeometry(w->Spiral->geometry().translated(0, 200));
        plain.show();
        const QImage withPicture = w->Spiral->grab().toImage();
        const QImage without = plain.grab().toImage();
        QCOMPARE(withPicture.size(), QSize(33, 33));
        QCOMPARE(without.size(), withPicture.size());
        // The two outermost rows and columns on every side are the plain button's.
        int differing = 0;
        for (int y = 0; y < 33; ++y)
            for (int x = 0; x < 33; ++x)
                if ((x < 2 || y < 2 || x > 30 || y > 30)
                    && withPicture.pixel(x, y) != without.pixel(x, y))
                    ++differing;
        QCOMPARE(differing, 0);
        // And the picture is there inside them.
        QVERIFY(!pixelsOf(withPicture, qRgb(0, 255, 0)).empty());
    }
};

int runBrushFrameLooksTests(int argc, char** argv)
{
    TestBrushFrameLooks t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_BrushFrameLooks.moc"
