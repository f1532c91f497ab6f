#include "display/WindowLayout.h"

#include "display/Fonts.h"
#include "display/FrameBox.h"
#include "display/PictureBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <cmath>

namespace rd::layout {

namespace {

QFont qtFont(const FontStyle& style)
{
    if (!style.family)
        return fonts::windowDefault();
    return fonts::face(QString::fromUtf8(style.family), style.points, style.bold, style.italic,
        style.standIn ? QString::fromUtf8(style.standIn) : QString());
}

Qt::Alignment qtAlign(Align a)
{
    switch (a) {
    case Align::Centre:
        return Qt::AlignHCenter | Qt::AlignTop;
    case Align::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case Align::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

QColor backColour(long long back, const QWidget* w)
{
    if (back == kSystemGrey)
        return w->palette().color(QPalette::Button);
    return QColor::fromRgb(QRgb(back));
}

QWidget* create(const ControlDesign& s, QWidget* parent)
{
    const QString text = QString::fromUtf8(s.text.data(), qsizetype(s.text.size()));
    QWidget* w = nullptr;
    switch (s.kind) {
    case Kind::Frame:
        // Opaque, so the panel on top hides the panels stacked under it.
        w = new FrameBox(text, parent);
        break;
    case Kind::Label: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(qtAlign(s.align));
        label->setAutoFillBackground(true);
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, backColour(s.back, label));
        label->setPalette(pal);
        w = label;
        break;
    }
    case Kind::TextBox:
        w = new QLineEdit(text, parent);
        break;
    case Kind::Button:
        w = new QPushButton(text, parent);
        break;
    case Kind::PictureBox: {
        auto* box = new PictureBox(parent);
        box->setBorder(s.border);
        box->setBackColor(backColour(s.back, box));
        w = box;
        break;
    }
    case Kind::Option: {
        auto* option = new QRadioButton(text, parent);
        option->setChecked(s.checked);
        w = option;
        break;
    }
    case Kind::Slider:
        w = new QSlider(Qt::Horizontal, parent);
        break;
    case Kind::Rule: {
        w = new QWidget(parent);
        w->setAutoFillBackground(true);
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, Qt::black);
        w->setPalette(pal);
        break;
    }
    }
    w->setObjectName(key(s.name, s.index));
    // Set on every control: a control takes the font of its own design, never its frame's.
    w->setFont(qtFont(s.font));

    const int x = twipsToPixels(s.left), y = twipsToPixels(s.top);
    if (s.kind == Kind::Rule) {
        w->setGeometry(x, y, std::max(1, twipsToPixels(s.width)), 1);
    } else {
        const QSize hint = w->sizeHint();
        const int width = s.width > 0 ? twipsToPixels(s.width) : hint.width();
        const int height = s.height > 0 ? twipsToPixels(s.height) : hint.height();
        w->setGeometry(x, y, width, height);
    }
    if (!s.visible)
        w->hide();
    return w;
}

} // namespace

int twipsToPixels(int twips)
{
    return static_cast<int>(std::nearbyint(double(twips) / kTwipsPerPixel));
}

QString key(const char* name, int index)
{
    const QString n = QString::fromUtf8(name);
    return index < 0 ? n : QStringLiteral("%1(%2)").arg(n).arg(index);
}

QHash<QString, QWidget*> build(QWidget* client)
{
    QHash<QString, QWidget*> made;
    const auto& table = controls();
    for (const auto& s : table) {
        QWidget* parent = s.container ? made.value(QString::fromUtf8(s.container)) : client;
        Q_ASSERT(parent);
        made.insert(key(s.name, s.index), create(s, parent));
    }
    // Later siblings are drawn above earlier ones; raising in reverse design order puts the
    // first-listed control of every container on top.
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        made.value(key(it->name, it->index))->raise();
    return made;
}

} // namespace rd::layout
