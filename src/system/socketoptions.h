#pragma once

// What every connection of the endpoint is set up with.

#include <QAbstractSocket>

class QTcpSocket;

namespace platform {

// Low delay and TCP keepalive: on Linux an idle connection whose peer has
// vanished is given up after about `lostPeerMs` (probes from half of it on).
// No limit on unacknowledged data here: the system's own (TCP_USER_TIMEOUT)
// also cuts a peer that is only paused and answers every window probe.
void tuneConnection(QTcpSocket *socket, int lostPeerMs);

} // namespace platform
