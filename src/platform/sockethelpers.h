#pragma once

// Helpers of the endpoint: the options every connection gets, and plain words
// for a failed listen or connection attempt.

#include "platform/error.h"

#include <QAbstractSocket>
#include <QString>

class QTcpSocket;

namespace platform {

// Low delay and TCP keepalive: on Linux an idle connection whose peer has
// vanished is given up after about `lostPeerMs` (probes from half of it on).
// No limit on unacknowledged data here: the system's own (TCP_USER_TIMEOUT)
// also cuts a peer that is only paused and answers every window probe.
void tuneConnection(QTcpSocket *socket, int lostPeerMs);

// Why a connection attempt to host:port failed, and the error number for it.
QString describeConnectFailure(QAbstractSocket::SocketError error, const QString &host, qint32 port,
                               qint32 *number);

// The port, or an Error if it cannot be one.
qint32 checkedPort(qint32 port);

// The error for a listen or connect on an endpoint that is already in use.
Error endpointBusy();

// The error for a listen on `port` that failed with `error`.
Error listenFailure(QAbstractSocket::SocketError error, qint32 port, const QString &reason);

} // namespace platform
