#include "display/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <cmath>

namespace rd::fonts {

void installSubstitutes()
{
    static const bool done = [] {
        QFont::insertSubstitutions(kArial, QStringList { QStringLiteral("Liberation Sans") });
        QFont::insertSubstitutions(kArialBlack, QStringList { QStringLiteral("Liberation Sans") });
        QFont::insertSubstitutions(kTimes, QStringList { QStringLiteral("Liberation Serif") });
        QFont::insertSubstitutions(kCentury, QStringList { QStringLiteral("C059") });
        QFont::insertSubstitutions(kGothic, QStringList { QStringLiteral("IPAPGothic") });
        return true;
    }();
    (void)done;
}

int pixelSize(double points)
{
    return static_cast<int>(std::nearbyint(points * 96.0 / 72.0));
}

QFont face(const QString& family, double points, bool bold, bool italic, const QString& standIn)
{
    installSubstitutes();
    QFont f(standIn.isEmpty() || QFontDatabase::hasFamily(family) ? family : standIn);
    f.setPixelSize(pixelSize(points));
    f.setItalic(italic);
    if (family == kArialBlack)
        f.setWeight(QFont::Black);
    else
        f.setBold(bold);
    return f;
}

QFont windowDefault()
{
    return face(kArial, 8.25);
}

} // namespace rd::fonts
