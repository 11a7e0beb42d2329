#pragma once

#include <QString>

class QFrame;
class QWidget;

namespace platform {

// A horizontal line across a container, one pixel thick and drawn in the
// window text colour, from x1 to x2 at height y (twips, relative to the
// container). It takes no clicks.
QFrame *makeLine(QWidget *parent, const QString &name, int x1, int x2, int y);

} // namespace platform
