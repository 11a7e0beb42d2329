#include "connection/endpointphase.h"

namespace platform {

bool EndpointPhase::canEnter(Phase from, Phase to)
{
    switch (to) {
    case Idle: return true;
    case Listening:
    case Connecting: return from == Idle;
    case Talking: return from == Idle || from == Connecting;
    case Failed: return from == Connecting;
    case PeerGone: return from == Idle || from == Connecting || from == Talking;
    case Finished: return from == PeerGone;
    }
    return false;
}

void EndpointPhase::enter(Phase next)
{
    Q_ASSERT(canEnter(phase_, next));
    phase_ = next;
}

SocketState EndpointPhase::reported(QAbstractSocket::SocketState connection) const
{
    switch (phase_) {
    case Idle: return SocketState::Closed;
    case Listening: return SocketState::Listening;
    case Failed: return SocketState::Error;
    case PeerGone:
    case Finished: return SocketState::Closing;
    case Connecting:
    case Talking: break;
    }
    switch (connection) {
    case QAbstractSocket::HostLookupState: return SocketState::ResolvingHost;
    case QAbstractSocket::ConnectingState: return SocketState::Connecting;
    case QAbstractSocket::ConnectedState: return SocketState::Connected;
    case QAbstractSocket::ClosingState: return SocketState::Closing;
    default: return SocketState::Closed;
    }
}

} // namespace platform
