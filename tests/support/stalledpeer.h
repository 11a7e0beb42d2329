#pragma once

// A peer made of a plain socket that reads only when told to, so its small
// receive buffer fills and it stops acknowledging, as a paused program does.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTest>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace peers {

#ifdef Q_OS_LINUX
// Listens on `address`, port of the system's choosing; accept() takes the one connection.
class StalledPeer
{
public:
    explicit StalledPeer(quint32 address = INADDR_LOOPBACK)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 32 * 1024;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(address);
        socklen_t size = sizeof at;
        ::bind(listener_, reinterpret_cast<sockaddr *>(&at), size);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&at), &size);
        port = ntohs(at.sin_port);
    }
    ~StalledPeer()
    {
        ::close(listener_);
        if (fd >= 0)
            ::close(fd);
    }
    bool accept()
    {
        pollfd ready{listener_, POLLIN, 0};
        if (::poll(&ready, 1, 5000) != 1)
            return false;
        fd = ::accept(listener_, nullptr, nullptr);
        return fd >= 0;
    }
    // Bytes waiting in this peer's receive buffer: all the sender has had acknowledged.
    int queued() const
    {
        int bytes = -1;
        ::ioctl(fd, SIOCINQ, &bytes);
        return bytes;
    }
    // Reads until the sender closes, letting the program run meanwhile;
    // `reset` tells how the connection ended.
    QByteArray readToEnd(bool *reset)
    {
        QByteArray all;
        char chunk[65536];
        bool ended = false;
        *reset = !QTest::qWaitFor([&] {
            for (;;) {
                const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
                if (got > 0) {
                    all.append(chunk, got);
                    continue;
                }
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    return false;
                ended = got == 0;
                if (got < 0)
                    qWarning("read failed: %s", strerror(errno));
                return true;
            }
        }, 8000) || !ended;
        return all;
    }
    void send(const QByteArray &bytes) { ::send(fd, bytes.constData(), bytes.size(), MSG_DONTWAIT); }
    void close()
    {
        ::close(fd);
        fd = -1;
    }
    void reset()
    {
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(fd);
        fd = -1;
    }

    quint16 port = 0;
    int fd = -1;

private:
    int listener_ = -1;
};
#endif


// Characters (line breaks not counted) and lines that have a byte at or
// after byte `from` of the wire.
inline std::pair<qint64, int> owedFrom(const QList<QByteArray> &lines, qint64 from)
{
    qint64 characters = 0;
    int touched = 0;
    qint64 offset = 0;
    for (const QByteArray &line : lines) {
        if (offset + line.size() > from)
            ++touched;
        for (char32_t c : QString::fromUtf8(line).toUcs4()) {
            offset += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
            characters += offset > from && c != U'\r' && c != U'\n';
        }
    }
    return {characters, touched};
}

} // namespace peers
