#pragma once

#include <QFont>
#include <QString>

namespace platform {

// The windows name the font families they were designed with (Comic Sans MS,
// Times New Roman, Lucida Sans Unicode, MS Sans Serif). Where a family is not
// installed, this maps it to an installed one of the same kind and width, so
// text keeps the size the layout was measured for. Safe to call more than once.
void installFontSubstitutes();

// A font by name, point size and weight; the size may be fractional (14.25).
QFont makeFont(const QString &family, qreal pointSize, bool bold = false);

} // namespace platform
