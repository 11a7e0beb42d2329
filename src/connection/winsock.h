#pragma once

// The program's one TCP endpoint.
//
// Wire format: the connection carries raw text and nothing else, UTF-8 in
// both directions. A chat line is CR LF, the sender's name, ": " and the
// message; there is no header, length or terminator, and the receiver takes
// each arrival as it comes, without looking for line boundaries. Any plain TCP
// peer (netcat, telnet) can therefore take part.
//
// The endpoint listens, accepts one connection, connects out, sends, receives
// and closes. Its events come on the thread that owns it, like window events.

#include "connection/deliverywatch.h"
#include "connection/endpointphase.h"
#include "connection/lineends.h"
#include "connection/socketstate.h"
#include "connection/utf8stream.h"

#include <QAbstractSocket>
#include <QHash>
#include <QObject>
#include <QPointer>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace platform {

enum class Operation;
class Farewell;

class Winsock : public QObject
{
    Q_OBJECT

public:
    explicit Winsock(QObject *parent = nullptr);
    ~Winsock() override;

    qint32 LocalPort() const { return localPort_; }
    void setLocalPort(qint32 port);
    QString RemoteHost() const { return remoteHost_; }
    void setRemoteHost(const QString &host) { remoteHost_ = host; }
    qint32 RemotePort() const { return remotePort_; }
    void setRemotePort(qint32 port);
    SocketState State() const;

    // Closed afterwards whatever the state; on a closed endpoint it does nothing.
    void Close();
    // Waits for connections on LocalPort, on every local address (IPv4 and IPv6).
    void Listen();
    // Returns at once; connected() or errorOccurred() follows.
    void Connect();
    // Takes a request raised by connectionRequest(); the endpoint then
    // carries that connection. A request that is not accepted is dropped.
    void Accept(qint32 requestID);
    // Queues the text for the peer, in order, with nothing added.
    void SendData(const QString &data);
    // All text that has arrived and not been read yet.
    void GetData(QString &data);

    // The ended conversations still delivering what was sent, handed to
    // `owner`: they go on when this endpoint is gone, and no longer raise
    // undelivered() here.
    QList<Farewell *> releaseFarewells(QObject *owner);

    // How long a connection attempt may take before it is given up.
    static constexpr int ConnectTimeoutMs = 30000;
    void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }
    // The most bytes taken from the connection per data arrival, so a flood
    // leaves room for the window between arrivals. Each arrival takes less
    // when the last one kept the receiver busy for longer than ArrivalBudgetMs.
    static constexpr qint64 ReadChunkBytes = 256 * 1024;
    static constexpr qint64 MinReadChunkBytes = 8 * 1024;
    static constexpr int ArrivalBudgetMs = 20;
    // What the socket may buffer beyond the chunk being read; the rest waits
    // in the kernel and TCP slows the peer down.
    static constexpr qint64 ReadBufferBytes = 4 * ReadChunkBytes;
    // A peer that answers nothing for this long is given up: an idle
    // connection through TCP keepalive, one with sent text waiting through
    // the system's record of acknowledgements and retransmissions. A peer
    // that only stops reading (paused, its window full) still answers, and
    // is waited for as long as it takes.
    static constexpr int LostPeerMs = 60000;
    // How long a closed conversation may take to deliver what was sent
    // before the user is told what did not arrive.
    static constexpr int FarewellMs = 10000;
    void setLostPeerMs(int ms) { delivery_.setLostPeerMs(ms); }
    void setFarewellMs(int ms) { farewellMs_ = ms; }

signals:
    void connected();
    void connectionRequest(qint32 requestID);
    void dataArrival(qint32 bytesTotal);
    // The peer closed or lost the connection; raised once, after everything
    // the peer sent has been delivered.
    void closed();
    // A connection attempt failed: its error number and the system's reason.
    // The host and port it was made to are still RemoteHost and RemotePort.
    void errorOccurred(qint32 number, const QString &reason);
    // A conversation ended with text sent but not acknowledged by the peer:
    // that many characters (line breaks not counted) of that many of the
    // last lines. Raised at most once per conversation, after it has closed.
    void undelivered(qint64 characters, qint32 lines);

private:
    // Only enter() moves the phase on, and it does what each step needs:
    // State(), the guards of the operations and the once-only events all
    // follow from the phase.
    void enter(EndpointPhase::Phase next);
    void reset();
    void throwIfBusy(Operation operation);

    void onNewConnection();
    void adoptSocket(QTcpSocket *socket);
    void onSocketError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void onPeerGone();
    void scheduleRead();
    void readChunk();
    void fitChunk(qint64 elapsedMs, qint64 bytesRead);
    void failConnect(qint32 number, const QString &reason);
    void dropSocket(QTcpSocket *socket);
    void startConversation();
    void endConversation(QTcpSocket *socket);
    void checkDelivery();

    EndpointPhase phase_;
    qint32 localPort_ = 0;
    QString remoteHost_;
    qint32 remotePort_ = 0;
    int connectTimeoutMs_ = ConnectTimeoutMs;

    QTcpServer *server_ = nullptr;
    QTcpSocket *socket_ = nullptr;
    QTimer *connectTimer_;
    // The read of the next chunk, queued for the next pass of the event loop;
    // null when none is queued.
    QObject *nextRead_ = nullptr;
    QHash<qint32, QTcpSocket *> requests_;
    qint32 nextRequestID_ = 1;

    Utf8Stream decoder_;
    LineEnds lineEnds_;
    QString inbox_;
    qint64 chunkBytes_ = ReadChunkBytes / 4;

    // The conversation's sent lines and how far the peer has taken them.
    bool conversing_ = false;
    DeliveryWatch delivery_;
    QTimer *deliveryTimer_;
    int farewellMs_ = FarewellMs;
};

} // namespace platform
