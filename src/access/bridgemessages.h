#pragma once

#include <QString>
#include <QtGlobal>

namespace platform {

// Qt's AT-SPI bridge (6.5 to 6.8, as Debian 13 has it) logs two messages as
// warnings that later Qt versions log for debugging only, since neither says
// anything is wrong with the program:
//  - "Could not find accessible on path": a screen reader asked about an
//    object that is gone, such as a message box's button right after the box
//    closed, in answer to the box's last events;
//  - "Subscription string not handled": a screen reader listens for an event
//    that Qt never sends (Orca 48's window:destroy).
// installBridgeMessageFilter() drops these two and hands every other message
// on to the handler that was there before.
void installBridgeMessageFilter();

// Whether a message is one of the two.
bool isBridgeChatter(QtMsgType type, const char *category, const QString &message);

} // namespace platform
