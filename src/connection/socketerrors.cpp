#include "connection/socketerrors.h"

#include "program/error.h"

namespace platform {

int connectFailureNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return err::ConnectionRefused;
    case QAbstractSocket::HostNotFoundError: return err::HostNotFound;
    case QAbstractSocket::SocketTimeoutError: return err::TimedOut;
    case QAbstractSocket::NetworkError: return err::NetworkUnreachable;
    default: return err::Unexpected;
    }
}

int listenFailureNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::SocketAccessError: return err::AccessDenied;
    case QAbstractSocket::AddressInUseError: return err::AddressInUse;
    default: return err::Unexpected;
    }
}

} // namespace platform
