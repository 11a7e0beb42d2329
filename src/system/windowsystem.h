#pragma once

#include <QByteArray>

class QProcessEnvironment;

namespace platform {

// The window system to run on, chosen before the application starts: in a
// Wayland session that also offers XWayland, the X11 one. There the
// compositor (or its X11 window manager) draws the title bars, so captions
// fit and fixed windows get no maximise button, and the desktop learns what
// Wayland has no words for: a box's owner and place, task-bar entries,
// window positions, the urgency hint. Empty when Qt's own choice stands: no
// XWayland, an X11 session, or a platform the user named (QT_QPA_PLATFORM).
QByteArray preferredWindowSystem(const QProcessEnvironment &environment);

// Sets QT_QPA_PLATFORM to the preferred window system, if there is one. Call
// before the application object is created.
void choosePreferredWindowSystem();

} // namespace platform
