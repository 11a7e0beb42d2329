#include "system/kernelsocket.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#endif

namespace platform::kernel {

int duplicate(qintptr descriptor)
{
#ifdef Q_OS_UNIX
    return descriptor < 0 ? -1 : ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
#else
    Q_UNUSED(descriptor);
    return -1;
#endif
}

void release(int fd)
{
#ifdef Q_OS_UNIX
    if (fd >= 0)
        ::close(fd);
#endif
}

#ifdef Q_OS_LINUX
namespace {
bool tcpInfo(int fd, tcp_info &info)
{
    socklen_t size = sizeof info;
    return fd >= 0 && ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0;
}
} // namespace
#endif

qint64 unacknowledged(int fd)
{
#ifdef Q_OS_LINUX
    int queued = 0;
    if (fd >= 0 && ::ioctl(fd, SIOCOUTQ, &queued) == 0)
        return queued;
#else
    Q_UNUSED(fd);
#endif
    return 0;
}

bool stoppedAnswering(int fd, int ms)
{
#ifdef Q_OS_LINUX
    tcp_info info{};
    if (!tcpInfo(fd, info))
        return false;
    // An answered window probe counts as an acknowledgement and clears the
    // probe count; retransmissions and probes go on only while nothing
    // answers. Two in a row, as one probe may be lost (or not answered: a
    // receiver answers at most two a second).
    const bool unanswered = info.tcpi_probes >= 2 || info.tcpi_retransmits >= 2;
    return unanswered && info.tcpi_last_ack_recv >= static_cast<quint32>(ms);
#else
    Q_UNUSED(fd);
    Q_UNUSED(ms);
    return false;
#endif
}

bool ended(int fd)
{
#ifdef Q_OS_LINUX
    tcp_info info{};
    return tcpInfo(fd, info) && info.tcpi_state == TCP_CLOSE;
#else
    Q_UNUSED(fd);
    return false;
#endif
}

bool shutdownSending(int fd)
{
#ifdef Q_OS_UNIX
    return fd >= 0 && ::shutdown(fd, SHUT_WR) == 0;
#else
    Q_UNUSED(fd);
    return false;
#endif
}

void discardReceived(int fd)
{
#ifdef Q_OS_UNIX
    // Bounded, so a peer that floods cannot keep this going.
    char scrap[16384];
    for (int i = 0; fd >= 0 && i < 256 && ::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) > 0; ++i) {
    }
#else
    Q_UNUSED(fd);
#endif
}

} // namespace platform::kernel
