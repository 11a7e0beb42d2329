#include "connection/winsock.h"

#include "connection/farewell.h"
#include "connection/socketerrors.h"
#include "connection/typedhost.h"
#include "program/error.h"
#include "system/socketoptions.h"

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
    : QObject(parent), connectTimer_(new QTimer(this)), delivery_(LostPeerMs), deliveryTimer_(new QTimer(this))
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
    enter(EndpointPhase::Idle);
}

void Winsock::throwIfBusy(Operation operation)
{
    if (phase_.is(EndpointPhase::Failed))
        enter(EndpointPhase::Idle); // a failed attempt leaves nothing open
    if (!phase_.is(EndpointPhase::Idle))
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
    enter(EndpointPhase::Listening);
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
        enter(EndpointPhase::PeerGone);
        return;
    }
    enter(EndpointPhase::Talking);
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
            enter(EndpointPhase::Talking);
            emit connected();
        });
    }
    enter(EndpointPhase::Connecting);
    // A numeric address never goes to the resolver, which reads numbers its own way.
    if (socket && typed.kind == TypedHost::Address)
        socket->connectToHost(typed.address, static_cast<quint16>(remotePort_));
    else if (socket)
        socket->connectToHost(typed.name, static_cast<quint16>(remotePort_));
}

void Winsock::onConnectTimeout()
{
    if (!phase_.is(EndpointPhase::Connecting))
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
    if (!phase_.is(EndpointPhase::Connecting)) {
        // Qt drops its queue when the connection goes; what it held is owed.
        delivery_.noteDropped(socket_->bytesToWrite());
        // The conversation is over: deliver what the peer sent, then say so once.
        onPeerGone();
        return;
    }
    failConnect(connectFailureNumber(error), socket_->errorString());
}

void Winsock::failConnect(qint32 number, const QString &reason)
{
    enter(EndpointPhase::Failed);
    emit errorOccurred(number, reason);
}

void Winsock::onPeerGone()
{
    if (phase_.is(EndpointPhase::Connecting) || phase_.is(EndpointPhase::Talking))
        enter(EndpointPhase::PeerGone);
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
        inbox_ += lineEnds_.read(decoder_.decode(bytes));
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
    if (!phase_.is(EndpointPhase::PeerGone))
        return;
    // Everything the peer sent has been delivered; a character it left
    // incomplete shows as a replacement character.
    if (decoder_.hasPending()) {
        inbox_ += decoder_.finish();
        emit dataArrival(0);
        if (socket_ != socket || !phase_.is(EndpointPhase::PeerGone))
            return;
    }
    enter(EndpointPhase::Finished);
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
    if (!phase_.is(EndpointPhase::Talking) || socket_->state() != QAbstractSocket::ConnectedState)
        throw Error(err::WrongProtocolOrState, Operation::Send);
    QByteArray bytes = data.toUtf8();
    if (socket_->write(bytes) < 0)
        throw Error(err::WrongProtocolOrState, Operation::Send, socket_->errorString());
    delivery_.record(std::move(bytes));
    // Out now, not after the window has repainted.
    socket_->flush();
    if (!deliveryTimer_->isActive())
        deliveryTimer_->start(std::clamp(delivery_.lostPeerMs() / 8, 50, 1000));
}

void Winsock::GetData(QString &data)
{
    data = std::move(inbox_);
    inbox_.clear();
}

void Winsock::enter(EndpointPhase::Phase next)
{
    phase_.enter(next);
    switch (next) {
    case EndpointPhase::Idle:
        reset();
        break;
    case EndpointPhase::Connecting:
        // Without a host the attempt fails at once, after Connect has returned.
        connectTimer_->start(socket_ ? connectTimeoutMs_ : 0);
        break;
    case EndpointPhase::Failed:
        connectTimer_->stop();
        if (QTcpSocket *socket = std::exchange(socket_, nullptr))
            dropSocket(socket);
        break;
    case EndpointPhase::Talking:
        connectTimer_->stop();
        startConversation();
        break;
    case EndpointPhase::PeerGone:
        connectTimer_->stop();
        scheduleRead(); // delivers what is left, then raises closed()
        break;
    case EndpointPhase::Listening:
    case EndpointPhase::Finished:
        break;
    }
}

void Winsock::reset()
{
    connectTimer_->stop();
    delete std::exchange(nextRead_, nullptr); // a queued read of the old conversation never runs
    chunkBytes_ = ReadChunkBytes / 4;
    decoder_.reset();
    lineEnds_.reset();
    inbox_.clear();
    if (server_) {
        // Stops listening; connections it queued but nobody accepted are dropped.
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    if (QTcpSocket *socket = std::exchange(socket_, nullptr)) {
        if (conversing_)
            endConversation(socket);
        else
            dropSocket(socket);
    }
}

SocketState Winsock::State() const
{
    return phase_.reported(socket_ ? socket_->state() : QAbstractSocket::UnconnectedState);
}

void Winsock::dropSocket(QTcpSocket *socket)
{
    // An attempt still connecting, or a request nobody accepted, is given up
    // at once, or the other side would hold a half-open connection for seconds.
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}


// What was sent and whether it arrived: a peer that stops answering is
// given up, and a conversation that ends hands its connection to a
// Farewell, which delivers the rest and tells what did not arrive.

void Winsock::startConversation()
{
    tuneConnection(socket_, delivery_.lostPeerMs());
    conversing_ = true;
    delivery_.begin(socket_->socketDescriptor());
}

void Winsock::endConversation(QTcpSocket *socket)
{
    // What was sent goes on to the peer and the connection closes with FIN;
    // the wait for it goes on in the background.
    socket->disconnect(this);
    const bool live = socket->state() == QAbstractSocket::ConnectedState;
    DeliveryWatch::Handover handover = delivery_.end(live);
    auto *farewell = new Farewell(live ? socket : nullptr, handover.fd, std::move(handover.ledger),
                                  handover.lostBytes, handover.knownOwed, farewellMs_, this);
    if (!live)
        socket->deleteLater();
    // Told after the handler that closed the conversation has run, so the
    // window says "Disconnected" first.
    connect(farewell, &Farewell::finished, this, [this](qint64 characters, qint32 lines) {
        if (characters > 0)
            emit undelivered(characters, lines);
    }, Qt::QueuedConnection);
    farewell->start();
    conversing_ = false;
    deliveryTimer_->stop();
}

void Winsock::checkDelivery()
{
    if (!phase_.is(EndpointPhase::Talking) || !socket_) {
        deliveryTimer_->stop();
        return;
    }
    switch (delivery_.look(socket_->bytesToWrite())) {
    case DeliveryWatch::Verdict::Delivered:
        deliveryTimer_->stop();
        break;
    case DeliveryWatch::Verdict::Owed:
        break;
    case DeliveryWatch::Verdict::PeerLost:
        // Its going is reported as a close, and what it never took as undelivered.
        socket_->abort();
        break;
    }
}

QList<Farewell *> Winsock::releaseFarewells(QObject *owner)
{
    QList<Farewell *> released;
    for (Farewell *farewell : findChildren<Farewell *>(Qt::FindDirectChildrenOnly)) {
        if (farewell->stage() == Farewell::Stage::Over)
            continue;
        farewell->disconnect(this);
        farewell->setParent(owner);
        released.append(farewell);
    }
    return released;
}

} // namespace platform
