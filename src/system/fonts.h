#pragma once

#include <QFont>
#include <QString>

#include <cstdint>

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

// Which characters the installed fonts can show. Qt looks for a font for a
// character no loaded font has on the GUI thread, trying installed fonts one
// by one, and ends with an empty box where none has it; for the scripts it
// shapes only by a font's OpenType rules it refuses, one by one and with a
// warning each, every font whose rules do not name the script (all of them
// for Thaana on Qt 6.4). With thousands of fonts installed one such
// character holds the window for seconds. The search reads fontconfig's
// character sets and those fonts' layout tables instead, on a thread of its
// own: start it early, so it is done when text first arrives.
void startFontCoverage();

// Whether some installed font shows the character as Qt would use it. The
// first call waits for the search if it is still running (it starts it if
// nothing did); after that it is a table look-up. True for every character
// where fontconfig is not available.
bool canDraw(char32_t c);

// Whether canDraw answers at once: the search has ended (or never began).
bool fontCoverageReady();

} // namespace platform
