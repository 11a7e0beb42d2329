#pragma once

// Helpers of the endpoint: the options every connection gets, and plain words
// for a failed listen or connection attempt.

#include "platform/error.h"

#include <QAbstractSocket>
#include <QString>

class QTcpSocket;

namespace platform {

// Low delay and TCP keepalive; on Linux a peer that vanishes without a word
// is noticed within about a minute (30 s idle, 5 s apart, 6 probes, and 60 s
// at most for data the peer does not acknowledge).
void tuneConnection(QTcpSocket *socket);

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
