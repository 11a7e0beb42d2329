#pragma once

#include <QRect>

class QWidget;

namespace platform {

// Keeps a top-level window out of the task bar and the pager, where Qt has no
// property for it (X11; Windows leaves tool windows out by itself). Call
// before each show, while the window is hidden: the window manager reads it
// when the window is mapped.
void keepOutOfTaskBar(QWidget *window);

// Sets or clears the urgency hint of a shown window (X11's WM_HINTS, which
// window managers that ignore Qt's attention state read). Qt's alert covers
// the other desktops.
void setUrgencyHint(QWidget *window, bool urgent);

// Places a window that is not mapped yet so that its frame, title bar and
// borders included, is centred on `area`. The frame is asked of the window
// manager where the desktop allows it (X11), taken from the platform where it
// knows it (Windows), else guessed from another window on the screen.
// Compositors that place windows themselves (Wayland) ignore the place.
// Where the frame had to be guessed, the window is placed again once the
// window manager has framed it.
void centreFrame(QWidget *window, const QRect &area);

// The client-area width at which the window's caption fits whole in its
// title bar beside the buttons, by the frame the window manager draws
// (0 where no frame is known).
int captionWidth(QWidget *window);

} // namespace platform
