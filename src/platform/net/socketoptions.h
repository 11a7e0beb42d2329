#pragma once

// What every connection of the endpoint is set up with, and the error number
// of a failed connection attempt.

#include <QAbstractSocket>

class QTcpSocket;

namespace platform {

// Low delay and TCP keepalive; on Linux a peer that vanishes without a word
// is noticed within about a minute (30 s idle, 5 s apart, 6 probes, and 60 s
// at most for data the peer does not acknowledge).
void tuneConnection(QTcpSocket *socket);

// The error number for a connection attempt that failed with `error`.
int connectFailureNumber(QAbstractSocket::SocketError error);

// The error number for a listen that failed with `error`.
int listenFailureNumber(QAbstractSocket::SocketError error);

} // namespace platform
