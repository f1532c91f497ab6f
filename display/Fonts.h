// The window's named type faces and the installed faces that stand in for them.
#pragma once

#include <QFont>
#include <QString>

namespace rd::fonts {

inline const QString kArial = QStringLiteral("Arial");
inline const QString kArialBlack = QStringLiteral("Arial Black");
inline const QString kCentury = QStringLiteral("Century");
inline const QString kTimes = QStringLiteral("Times New Roman");
inline const QString kGothic = QStringLiteral("ＭＳ Ｐゴシック");

// Registers the substitutes once; safe to call again.
void installSubstitutes();

// Point sizes are as designed at 96 dots per inch; the face gets the pixel size they had
// there, so rendering at another logical dpi keeps the designed size.
int pixelSize(double points);

// A face by its designed name. "Arial Black" is the sans substitute at its heaviest weight.
// Where `family` is not installed and a stand-in is named, the stand-in's face is used
// instead of the general substitute.
QFont face(const QString& family, double points, bool bold = false, bool italic = false,
    const QString& standIn = {});

// What controls without a font of their own use.
QFont windowDefault();

} // namespace rd::fonts
