#include "system/socketoptions.h"

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

} // namespace platform
