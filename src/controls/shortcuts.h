#pragma once

#include <QKeySequence>
#include <QList>

class QWidget;

namespace platform {

// Lets the window's shortcuts work while the control has the focus, even
// for keys the control would otherwise keep for itself.
void letShortcutsThrough(QWidget *control, const QList<QKeySequence> &shortcuts);

} // namespace platform
