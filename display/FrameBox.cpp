#include "display/FrameBox.h"

#include <QPainter>

FrameBox::FrameBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
}

void FrameBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    const QFontMetrics fm(font());
    // Without a caption the rectangle starts at the top edge.
    const int top = title().isEmpty() ? 0 : fm.height() / 2;
    const QRect r = rect().adjusted(0, top, -1, -1);
    // Etched: a shadow line with a highlight line one pixel down and right.
    p.setPen(pal.color(QPalette::Light));
    p.drawRect(r.adjusted(1, 1, 0, 0));
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (!title().isEmpty()) {
        const int x = 8;
        const QRect text(x, 0, fm.horizontalAdvance(title()) + 4, fm.height());
        p.fillRect(text, pal.color(QPalette::Button));
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(text, Qt::AlignCenter, title());
    }
}
