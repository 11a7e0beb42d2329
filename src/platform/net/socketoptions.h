#pragma once

// What every connection of the endpoint is set up with, and the error number
// of a failed connection attempt.

#include <QAbstractSocket>

class QTcpSocket;

namespace platform {

// Low delay and TCP keepalive: on Linux an idle connection whose peer has
// vanished is given up after about `lostPeerMs` (probes from half of it on).
// No limit on unacknowledged data here: the system's own (TCP_USER_TIMEOUT)
// also cuts a peer that is only paused and answers every window probe.
void tuneConnection(QTcpSocket *socket, int lostPeerMs);

// The error number for a connection attempt that failed with `error`.
int connectFailureNumber(QAbstractSocket::SocketError error);

// The error number for a listen that failed with `error`.
int listenFailureNumber(QAbstractSocket::SocketError error);

} // namespace platform
