#pragma once

#include <QFont>
#include <QString>

namespace platform {

// The windows name the font families they were designed with (Comic Sans MS,
// Times New Roman, Lucida Sans Unicode, MS Sans Serif). Where a family is not
// installed, this maps it to an installed one of the same kind and width, so
// text keeps the size the layout was measured for. Safe to call more than once.
void installFontSubstitutes();

// The family itself where it is installed, else its first installed
// substitute, else the family for Qt's own fallback: the font Qt would pick,
// found without Qt's search of every installed font for a missing family
// (a fontconfig sort, milliseconds for each family at start-up).
QString installedFamily(const QString &family);

// A font by name (resolved by installedFamily), point size and weight; the
// size may be fractional (14.25).
QFont makeFont(const QString &family, qreal pointSize, bool bold = false);

} // namespace platform
