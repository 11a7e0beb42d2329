#pragma once

// The error numbers of failed connection attempts and listens.

#include <QAbstractSocket>

namespace platform {

// The error number for a connection attempt that failed with `error`.
int connectFailureNumber(QAbstractSocket::SocketError error);

// The error number for a listen that failed with `error`.
int listenFailureNumber(QAbstractSocket::SocketError error);

} // namespace platform
