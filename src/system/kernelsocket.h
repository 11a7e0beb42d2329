#pragma once

// What the system knows of a connection that Qt does not tell: how much of
// what was sent the peer has not acknowledged, when it last acknowledged
// anything, and whether it is still answering. Read through a second
// descriptor of the same socket, which stays valid after Qt has closed its
// own when the peer went; the connection ends when both are closed.
// Where the system does not say, the answers are "nothing owed" and "alive".

#include <QtGlobal>

namespace platform::kernel {

// A second descriptor of the socket, or -1.
int duplicate(qintptr descriptor);
void release(int fd);

// Bytes handed to the system and not yet acknowledged by the peer.
qint64 unacknowledged(int fd);

// Whether the peer has stopped answering: nothing acknowledged for `ms`
// while the system is retransmitting or probing without a reply. A peer
// that only advertises a zero window (paused, not reading) answers every
// probe and is never taken for lost.
bool stoppedAnswering(int fd, int ms);

// Whether the connection is over in the system (reset, or given up).
bool ended(int fd);

// Sends FIN after what is queued, without closing: unlike close(), it never
// turns into a reset. True if a FIN was queued (it takes one place in the
// count of unacknowledged bytes until the peer acknowledges it).
bool shutdownSending(int fd);

// Reads and drops whatever has arrived, so closing afterwards sends FIN and
// not a reset (Linux resets a connection closed with unread data).
void discardReceived(int fd);

} // namespace platform::kernel
