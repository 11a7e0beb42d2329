#include "platform/sockethelpers.h"

#include <QTcpSocket>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace platform {

void tuneConnection(QTcpSocket *socket, int lostPeerMs)
{
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    // Without these, Linux waits two hours before the first keepalive probe.
    // For a minute: 30 s idle, then 6 probes 5 s apart.
    const int fd = static_cast<int>(socket->socketDescriptor());
    if (fd >= 0) {
        const int limit = std::max(2, lostPeerMs / 1000);
        const int idle = std::max(1, limit / 2);
        const int interval = std::max(1, limit / 12);
        const int count = std::max(1, (limit - idle) / interval);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    }
#else
    Q_UNUSED(lostPeerMs);
#endif
}

QString describeConnectFailure(QAbstractSocket::SocketError error, const QString &host, qint32 port,
                               qint32 *number)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        *number = err::ConnectionRefused;
        return QStringLiteral("%1 refused the connection on port %2: nobody is listening there. "
                              "Ask the other person to connect as server first, check the port, then try again.")
            .arg(host)
            .arg(port);
    case QAbstractSocket::HostNotFoundError:
        *number = err::HostNotFound;
        return QStringLiteral("The computer \"%1\" could not be found. "
                              "Check the Remote Computer IP field and try again.")
            .arg(host);
    case QAbstractSocket::SocketTimeoutError:
        *number = err::TimedOut;
        return QStringLiteral("%1 did not answer on port %2. "
                              "Check the address, the port and the network, then try again.")
            .arg(host)
            .arg(port);
    case QAbstractSocket::NetworkError:
        *number = err::NetworkUnreachable;
        return QStringLiteral("%1 cannot be reached from this computer's network. "
                              "Check the address and the network connection, then try again.")
            .arg(host);
    default:
        *number = err::Unexpected;
        return QStringLiteral("The connection to %1 on port %2 could not be made. "
                              "Check the address and port, then try again.")
            .arg(host)
            .arg(port);
    }
}

qint32 checkedPort(qint32 port)
{
    if (port < 0 || port > 65535)
        throw Error(err::InvalidPropertyValue, QStringLiteral("%1 is not a port number.").arg(port),
                    QStringLiteral("Use a port from 1 to 9999."));
    return port;
}

Error endpointBusy()
{
    return Error(err::WrongProtocolOrState, QStringLiteral("The connection is already in use."),
                 QStringLiteral("Close the conversation first (Disconnect), then try again."));
}

Error listenFailure(QAbstractSocket::SocketError error, qint32 port, const QString &reason)
{
    if (error == QAbstractSocket::SocketAccessError)
        return Error(err::AccessDenied,
                     QStringLiteral("Listening on port %1 was refused: on this computer that port "
                                    "needs administrator rights.")
                         .arg(port),
                     QStringLiteral("Choose a port from 1024 to 9999 in the Port Number field "
                                    "and press Connect again."));
    if (error == QAbstractSocket::AddressInUseError)
        return Error(err::AddressInUse, QStringLiteral("Port %1 is already in use by another program.").arg(port),
                     QStringLiteral("Close that program, or choose another port in the Port Number "
                                    "field and press Connect again."));
    return Error(err::Unexpected, QStringLiteral("Listening on port %1 failed: %2.").arg(port).arg(reason),
                 QStringLiteral("Choose another port in the Port Number field and press Connect again."));
}

} // namespace platform
