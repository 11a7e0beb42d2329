#pragma once

#include "connection/socketstate.h"

#include <QAbstractSocket>

namespace platform {

// Where the endpoint is in its life, which step may follow which, and what
// State() reports in each. The endpoint does what each step needs; this
// only says whether the step is allowed and keeps where it has got to.
class EndpointPhase
{
public:
    enum Phase {
        Idle,       // nothing open
        Listening,  // waiting for peers
        Connecting, // an attempt of Connect is under way
        Failed,     // the last attempt failed and was reported
        Talking,    // a conversation is open
        PeerGone,   // the peer left; what it sent is still being delivered
        Finished,   // everything was delivered and closed() raised
    };

    static bool canEnter(Phase from, Phase to);

    Phase current() const { return phase_; }
    bool is(Phase phase) const { return phase_ == phase; }
    // Moves on; a step canEnter() does not allow is a fault of the endpoint.
    void enter(Phase next);

    // What State() reports: in Connecting and Talking the connection's own
    // state tells (unconnected when there is no socket).
    SocketState reported(QAbstractSocket::SocketState connection) const;

private:
    Phase phase_ = Idle;
};

} // namespace platform
