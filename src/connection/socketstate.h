#pragma once

#include <QtGlobal>

namespace platform {

// What the endpoint is doing, as State() reports it. The numbers are fixed:
// callers may keep and compare them.
enum class SocketState : qint16 {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,
    Error = 9,
};

} // namespace platform
