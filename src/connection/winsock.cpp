#include "connection/winsock.h"

#include "program/error.h"
#include "connection/socketerrors.h"
#include "system/socketoptions.h"
#include "connection/typedhost.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace platform {

namespace {

qint32 checkedPort(qint32 port)
{
    // 0 asks the system for any free port.
    if (port < 0 || port > 65535)
        throw Error(err::InvalidPropertyValue, Operation::SetPort).onPort(port);
    return port;
}

} // namespace

Winsock::Winsock(QObject *parent)
    : QObject(parent), connectTimer_(new QTimer(this)), deliveryTimer_(new QTimer(this))
{
    connect(deliveryTimer_, &QTimer::timeout, this, &Winsock::checkDelivery);
    connectTimer_->setSingleShot(true);
    connect(connectTimer_, &QTimer::timeout, this, &Winsock::onConnectTimeout);
}

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

void Winsock::Close()
{
    enter(Phase::Idle);
}

void Winsock::throwIfBusy(Operation operation)
{
    if (phase_ == Phase::Failed)
        enter(Phase::Idle); // a failed attempt leaves nothing open
    if (phase_ != Phase::Idle)
        throw Error(err::WrongProtocolOrState, operation);
}

void Winsock::Listen()
{
    throwIfBusy(Operation::Listen);
    auto *server = new QTcpServer(this);
    // Every local address, IPv4 and IPv6.
    if (!server->listen(QHostAddress::Any, static_cast<quint16>(localPort_))) {
        const int number = listenFailureNumber(server->serverError());
        const QString reason = server->errorString();
        delete server;
        throw Error(number, Operation::Listen, reason).onPort(localPort_);
    }
    // Peers are taken one at a time as their requests are raised.
    server->setMaxPendingConnections(30);
    localPort_ = server->serverPort();
    server_ = server;
    connect(server, &QTcpServer::newConnection, this, &Winsock::onNewConnection);
    enter(Phase::Listening);
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
            dropSocket(unaccepted);
    }
}

void Winsock::Accept(qint32 requestID)
{
    QTcpSocket *peer = requests_.take(requestID);
    if (!peer)
        throw Error(err::WrongProtocolOrState, Operation::Accept).forRequest(requestID);
    Close();
    adoptSocket(peer);
    // The peer may have sent something, or gone, before it was accepted.
    if (peer->state() != QAbstractSocket::ConnectedState) {
        enter(Phase::PeerGone);
        return;
    }
    enter(Phase::Talking);
    if (peer->bytesAvailable() > 0)
        scheduleRead();
}

void Winsock::Connect()
{
    throwIfBusy(Operation::Connect);
    const QString host = remoteHost_.trimmed();
    const TypedHost typed = readTypedHost(host);
    QTcpSocket *socket = nullptr;
    if (!host.isEmpty() && typed.kind != TypedHost::Unusable) {
        socket = new QTcpSocket(this);
        adoptSocket(socket);
        connect(socket, &QAbstractSocket::connected, this, [this] {
            enter(Phase::Talking);
            emit connected();
        });
    }
    enter(Phase::Connecting);
    // A numeric address never goes to the resolver, which reads numbers its own way.
    if (socket && typed.kind == TypedHost::Address)
        socket->connectToHost(typed.address, static_cast<quint16>(remotePort_));
    else if (socket)
        socket->connectToHost(typed.name, static_cast<quint16>(remotePort_));
}

void Winsock::onConnectTimeout()
{
    if (phase_ != Phase::Connecting)
        return;
    if (socket_)
        failConnect(err::TimedOut, QStringLiteral("no answer in %1 ms").arg(connectTimeoutMs_));
    else if (remoteHost_.trimmed().isEmpty())
        failConnect(err::HostNotFound, QStringLiteral("no host name"));
    else
        failConnect(err::HostNotFound, QStringLiteral("not an address"));
}

void Winsock::adoptSocket(QTcpSocket *socket)
{
    socket_ = socket;
    // Bounded, so a peer that floods us is slowed by TCP instead of filling memory.
    socket->setReadBufferSize(ReadBufferBytes);
    // The first chunk is read at once, for the lowest latency; the rest of a
    // burst is read one chunk per pass of the event loop.
    connect(socket, &QIODevice::readyRead, this, [this] {
        if (!nextRead_)
            readChunk();
    });
    connect(socket, &QAbstractSocket::disconnected, this, &Winsock::onPeerGone);
    connect(socket, &QAbstractSocket::errorOccurred, this, &Winsock::onSocketError);
}

void Winsock::onSocketError(QAbstractSocket::SocketError error)
{
    if (!socket_)
        return;
    if (phase_ != Phase::Connecting) {
        // Qt drops its queue when the connection goes; what it held is owed.
        if (queuedAtEnd_ < 0)
            queuedAtEnd_ = socket_->bytesToWrite();
        // The conversation is over: deliver what the peer sent, then say so once.
        onPeerGone();
        return;
    }
    failConnect(connectFailureNumber(error), socket_->errorString());
}

void Winsock::failConnect(qint32 number, const QString &reason)
{
    enter(Phase::Failed);
    emit errorOccurred(number, reason);
}

void Winsock::onPeerGone()
{
    if (phase_ == Phase::Connecting || phase_ == Phase::Talking)
        enter(Phase::PeerGone);
}

void Winsock::scheduleRead()
{
    if (nextRead_)
        return;
    // One chunk per pass of the event loop, so input and painting go on. The
    // read is queued on an object of its own: deleting it cancels the read.
    nextRead_ = new QObject(this);
    QMetaObject::invokeMethod(nextRead_, [this] {
        std::exchange(nextRead_, nullptr)->deleteLater();
        readChunk();
    }, Qt::QueuedConnection);
}

void Winsock::readChunk()
{
    QTcpSocket *const socket = socket_;
    if (!socket)
        return;
    // Nothing more to read once the connection has been given up.
    const QByteArray bytes = socket->isReadable() ? socket->read(chunkBytes_) : QByteArray();
    if (!bytes.isEmpty()) {
        inbox_ += decoder_.decode(bytes);
        QElapsedTimer busy;
        busy.start();
        if (!inbox_.isEmpty())
            emit dataArrival(static_cast<qint32>(bytes.size()));
        // The handler may have closed the endpoint, or opened another conversation.
        if (socket_ != socket)
            return;
        fitChunk(busy.elapsed(), bytes.size());
    }
    if (socket->bytesAvailable() > 0) {
        scheduleRead();
        return;
    }
    if (phase_ != Phase::PeerGone)
        return;
    // Everything the peer sent has been delivered; a character it left
    // incomplete shows as a replacement character.
    if (decoder_.hasPending()) {
        inbox_ += decoder_.finish();
        emit dataArrival(0);
        if (socket_ != socket || phase_ != Phase::PeerGone)
            return;
    }
    enter(Phase::Finished);
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
    if (phase_ != Phase::Talking || socket_->state() != QAbstractSocket::ConnectedState)
        throw Error(err::WrongProtocolOrState, Operation::Send);
    QByteArray bytes = data.toUtf8();
    if (socket_->write(bytes) < 0)
        throw Error(err::WrongProtocolOrState, Operation::Send, socket_->errorString());
    ledger_.record(std::move(bytes));
    // Out now, not after the window has repainted.
    socket_->flush();
    if (!deliveryTimer_->isActive())
        deliveryTimer_->start(std::clamp(lostPeerMs_ / 8, 50, 1000));
}

void Winsock::GetData(QString &data)
{
    data = std::move(inbox_);
    inbox_.clear();
}

} // namespace platform
