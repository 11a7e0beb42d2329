#include "platform/ui/focuswatcher.h"

#include <QEvent>
#include <QWidget>

namespace platform {

FocusWatcher::FocusWatcher(QWidget *control) : QObject(control)
{
    control->installEventFilter(this);
}

bool FocusWatcher::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::FocusIn)
        emit gotFocus();
    return false;
}

} // namespace platform
