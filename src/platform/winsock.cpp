#include "platform/winsock.h"

#include "platform/error.h"
#include "platform/sockethelpers.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace platform {

Winsock::Winsock(QObject *parent) : QObject(parent) {}

Winsock::~Winsock()
{
    Close();
}

void Winsock::setLocalPort(qint32 port)
{
    localPort_ = checkedPort(port);
}

void Winsock::setRemotePort(qint32 port)
{
    remotePort_ = checkedPort(port);
}

qint16 Winsock::State() const
{
    if (server_)
        return sckListening;
    if (failed_)
        return sckError;
    if (!socket_)
        return sckClosed;
    if (peerGone_)
        return sckClosing;
    switch (socket_->state()) {
    case QAbstractSocket::HostLookupState: return sckResolvingHost;
    case QAbstractSocket::ConnectingState: return sckConnecting;
    case QAbstractSocket::ConnectedState: return sckConnected;
    case QAbstractSocket::ClosingState: return sckClosing;
    default: return sckClosed;
    }
}

void Winsock::Close()
{
    ++generation_;
    connecting_ = false;
    failed_ = false;
    peerGone_ = false;
    closeRaised_ = false;
    readScheduled_ = false;
    chunkBytes_ = ReadChunkBytes / 4;
    decoder_.reset();
    inbox_.clear();
    if (connectTimer_)
        connectTimer_->stop();
    if (server_) {
        // Stops listening; connections it queued but nobody accepted are dropped.
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    if (socket_) {
        dropSocket(socket_, true);
        socket_ = nullptr;
    }
}

void Winsock::dropSocket(QTcpSocket *socket, bool graceful)
{
    socket->disconnect(this);
    if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
        // What is still queued goes out before the connection closes.
        socket->flush();
        socket->disconnectFromHost();
    }
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    // Only a conversation winds down; an attempt still connecting is given up
    // at once, or the server would hold a half-open peer for seconds.
    if (graceful && socket->state() == QAbstractSocket::ClosingState) {
        // Let a slow peer take the rest, but not for ever.
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(5000, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        return;
    }
    socket->abort();
    socket->deleteLater();
}

void Winsock::Listen()
{
    if (server_ || socket_)
        throw endpointBusy();
    failed_ = false;
    auto *server = new QTcpServer(this);
    // Every local address, IPv4 and IPv6.
    if (!server->listen(QHostAddress::Any, static_cast<quint16>(localPort_))) {
        const QAbstractSocket::SocketError error = server->serverError();
        const QString reason = server->errorString();
        delete server;
        throw listenFailure(error, localPort_, reason);
    }
    // Peers are taken one at a time as their requests are raised.
    server->setMaxPendingConnections(30);
    localPort_ = server->serverPort();
    server_ = server;
    connect(server, &QTcpServer::newConnection, this, &Winsock::onNewConnection);
}

void Winsock::onNewConnection()
{
    QTcpServer *server = server_;
    // Each waiting peer is a request; the handler may close the endpoint,
    // which ends listening and drops the ones still waiting.
    while (server && server == server_ && server->hasPendingConnections()) {
        QTcpSocket *peer = server->nextPendingConnection();
        peer->setParent(this);
        const qint32 id = nextRequestID_++;
        requests_.insert(id, peer);
        emit connectionRequest(id);
        if (QTcpSocket *unaccepted = requests_.take(id))
            dropSocket(unaccepted, false);
    }
}

void Winsock::Accept(qint32 requestID)
{
    QTcpSocket *peer = requests_.take(requestID);
    if (!peer)
        throw Error(err::WrongProtocolOrState,
                    QStringLiteral("The connection request %1 is no longer waiting.").arg(requestID),
                    QStringLiteral("Ask the other person to connect again."));
    if (socket_ || server_)
        Close();
    adoptSocket(peer);
    // The peer may have sent something, or gone, before it was accepted.
    if (peer->state() != QAbstractSocket::ConnectedState)
        peerGone_ = true;
    if (peer->bytesAvailable() > 0 || peerGone_)
        scheduleRead();
}

void Winsock::Connect()
{
    if (server_ || socket_)
        throw endpointBusy();
    failed_ = false;
    const QString host = remoteHost_.trimmed();
    if (host.isEmpty()) {
        // Reported like any other failed attempt, after Connect has returned.
        const quint64 generation = generation_;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == generation_)
                failConnect(err::HostNotFound,
                            QStringLiteral("No computer address was given. "
                                           "Fill in the Remote Computer IP field and try again."));
        });
        return;
    }
    auto *socket = new QTcpSocket(this);
    adoptSocket(socket);
    connecting_ = true;
    connect(socket, &QAbstractSocket::connected, this, [this] {
        connecting_ = false;
        connectTimer_->stop();
        tuneConnection(socket_);
        emit connected();
    });
    if (!connectTimer_) {
        connectTimer_ = new QTimer(this);
        connectTimer_->setSingleShot(true);
        connect(connectTimer_, &QTimer::timeout, this, [this] {
            if (connecting_)
                onSocketError(QAbstractSocket::SocketTimeoutError);
        });
    }
    connectTimer_->start(connectTimeoutMs_);
    socket->connectToHost(host, static_cast<quint16>(remotePort_));
}

void Winsock::adoptSocket(QTcpSocket *socket)
{
    socket_ = socket;
    // Bounded, so a peer that floods us is slowed by TCP instead of filling memory.
    socket->setReadBufferSize(ReadBufferBytes);
    // The first chunk is read at once, for the lowest latency; the rest of a
    // burst is read one chunk per pass of the event loop.
    connect(socket, &QIODevice::readyRead, this, [this] {
        if (!readScheduled_)
            readChunk();
    });
    connect(socket, &QAbstractSocket::disconnected, this, &Winsock::onPeerGone);
    connect(socket, &QAbstractSocket::errorOccurred, this, &Winsock::onSocketError);
    if (socket->state() == QAbstractSocket::ConnectedState)
        tuneConnection(socket);
}

void Winsock::onSocketError(QAbstractSocket::SocketError error)
{
    if (!socket_)
        return;
    if (!connecting_) {
        // The conversation is over: deliver what the peer sent, then say so once.
        onPeerGone();
        return;
    }
    int number = 0;
    const QString description = describeConnectFailure(error, remoteHost_.trimmed(), remotePort_, &number);
    failConnect(number, description);
}

void Winsock::failConnect(qint32 number, const QString &description)
{
    connecting_ = false;
    if (connectTimer_)
        connectTimer_->stop();
    if (socket_) {
        dropSocket(socket_, false);
        socket_ = nullptr;
    }
    failed_ = true;
    emit errorOccurred(number, description);
}

void Winsock::onPeerGone()
{
    if (peerGone_)
        return;
    peerGone_ = true;
    scheduleRead();
}

void Winsock::scheduleRead()
{
    if (readScheduled_)
        return;
    readScheduled_ = true;
    const quint64 generation = generation_;
    // One chunk per pass of the event loop, so input and painting go on.
    QMetaObject::invokeMethod(this, [this, generation] {
        if (generation != generation_)
            return;
        readScheduled_ = false;
        readChunk();
    }, Qt::QueuedConnection);
}

void Winsock::readChunk()
{
    if (!socket_)
        return;
    const quint64 generation = generation_;
    const QByteArray bytes = socket_->read(chunkBytes_);
    if (!bytes.isEmpty()) {
        inbox_ += decoder_.decode(bytes);
        QElapsedTimer busy;
        busy.start();
        if (!inbox_.isEmpty())
            emit dataArrival(static_cast<qint32>(bytes.size()));
        if (generation != generation_ || !socket_)
            return;
        fitChunk(busy.elapsed(), bytes.size());
    }
    if (socket_->bytesAvailable() > 0) {
        scheduleRead();
        return;
    }
    if (!peerGone_ || closeRaised_)
        return;
    // Everything the peer sent has been delivered; a character it left
    // incomplete shows as a replacement character.
    if (decoder_.hasPending()) {
        inbox_ += decoder_.finish();
        emit dataArrival(0);
        if (generation != generation_ || !socket_)
            return;
    }
    closeRaised_ = true;
    emit closed();
}

void Winsock::fitChunk(qint64 elapsedMs, qint64 bytesRead)
{
    // Halve when the receiver took too long, double while a full chunk is cheap.
    if (elapsedMs > ArrivalBudgetMs)
        chunkBytes_ = std::max(MinReadChunkBytes, chunkBytes_ / 2);
    else if (elapsedMs < ArrivalBudgetMs / 4 && bytesRead == chunkBytes_)
        chunkBytes_ = std::min(ReadChunkBytes, chunkBytes_ * 2);
}

void Winsock::SendData(const QString &data)
{
    if (!socket_ || peerGone_ || socket_->state() != QAbstractSocket::ConnectedState)
        throw Error(err::WrongProtocolOrState,
                    QStringLiteral("The message could not be sent: there is no connection."),
                    QStringLiteral("Use Chat, Reconnect to start a new conversation."));
    if (socket_->write(data.toUtf8()) < 0)
        throw Error(err::WrongProtocolOrState,
                    QStringLiteral("The message could not be sent: %1.").arg(socket_->errorString()),
                    QStringLiteral("Use Chat, Reconnect to start a new conversation."));
    // Out now, not after the window has repainted.
    socket_->flush();
}

void Winsock::GetData(QString &data)
{
    data = std::move(inbox_);
    inbox_.clear();
}

} // namespace platform
