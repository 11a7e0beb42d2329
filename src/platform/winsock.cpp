#include "platform/winsock.h"

#include "platform/error.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace platform {

namespace {

// Plain words for why a connection attempt failed.
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

} // namespace

Winsock::Winsock(QObject *parent) : QObject(parent) {}

Winsock::~Winsock()
{
    Close();
}

void Winsock::setLocalPort(qint32 port)
{
    if (port < 0 || port > 65535)
        throw Error(err::InvalidPropertyValue, QStringLiteral("%1 is not a port number.").arg(port),
                    QStringLiteral("Use a port from 1 to 9999."));
    localPort_ = port;
}

void Winsock::setRemotePort(qint32 port)
{
    if (port < 0 || port > 65535)
        throw Error(err::InvalidPropertyValue, QStringLiteral("%1 is not a port number.").arg(port),
                    QStringLiteral("Use a port from 1 to 9999."));
    remotePort_ = port;
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
    if (connectTimer_) {
        connectTimer_->stop();
    }
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
        throw Error(err::WrongProtocolOrState,
                    QStringLiteral("The connection is already in use."),
                    QStringLiteral("Close the conversation first (Disconnect), then try again."));
    failed_ = false;
    auto *server = new QTcpServer(this);
    // Every local address, IPv4 and IPv6.
    if (!server->listen(QHostAddress::Any, static_cast<quint16>(localPort_))) {
        const QAbstractSocket::SocketError error = server->serverError();
        const QString reason = server->errorString();
        delete server;
        if (error == QAbstractSocket::SocketAccessError)
            throw Error(err::AccessDenied,
                        QStringLiteral("Listening on port %1 was refused: on this computer that port "
                                       "needs administrator rights.")
                            .arg(localPort_),
                        QStringLiteral("Choose a port from 1024 to 9999 in the Port Number field "
                                       "and press Connect again."));
        if (error == QAbstractSocket::AddressInUseError)
            throw Error(err::AddressInUse,
                        QStringLiteral("Port %1 is already in use by another program.").arg(localPort_),
                        QStringLiteral("Close that program, or choose another port in the Port Number "
                                       "field and press Connect again."));
        throw Error(err::Unexpected,
                    QStringLiteral("Listening on port %1 failed: %2.").arg(localPort_).arg(reason),
                    QStringLiteral("Choose another port in the Port Number field and press Connect again."));
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
        throw Error(err::WrongProtocolOrState,
                    QStringLiteral("The connection is already in use."),
                    QStringLiteral("Close the conversation first (Disconnect), then try again."));
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
    connectTimer_->start(ConnectTimeoutMs);
    socket->connectToHost(host, static_cast<quint16>(remotePort_));
}

void Winsock::adoptSocket(QTcpSocket *socket)
{
    socket_ = socket;
    // Bounded, so a peer that floods us is slowed by TCP instead of filling memory.
    socket->setReadBufferSize(ReadBufferBytes);
    connect(socket, &QIODevice::readyRead, this, &Winsock::scheduleRead);
    connect(socket, &QAbstractSocket::disconnected, this, &Winsock::onPeerGone);
    connect(socket, &QAbstractSocket::errorOccurred, this, &Winsock::onSocketError);
    if (socket->state() == QAbstractSocket::ConnectedState)
        tuneConnection(socket);
}

void Winsock::tuneConnection(QTcpSocket *socket)
{
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    // A peer that vanishes without a word is noticed within about a minute.
    const int fd = static_cast<int>(socket->socketDescriptor());
    if (fd >= 0) {
        const int idle = 30, interval = 5, count = 6, userTimeoutMs = 60000;
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
        setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
    }
#endif
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
}

void Winsock::GetData(QString &data)
{
    data = std::move(inbox_);
    inbox_.clear();
}

} // namespace platform
