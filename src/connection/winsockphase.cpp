#include "connection/winsock.h"

#include "system/socketoptions.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

// The endpoint's phases: which step may follow which, what each step does,
// and what State() reports in each.

namespace platform {

bool Winsock::canEnter(Phase from, Phase to)
{
    switch (to) {
    case Phase::Idle: return true;
    case Phase::Listening:
    case Phase::Connecting: return from == Phase::Idle;
    case Phase::Talking: return from == Phase::Idle || from == Phase::Connecting;
    case Phase::Failed: return from == Phase::Connecting;
    case Phase::PeerGone: return from == Phase::Idle || from == Phase::Connecting || from == Phase::Talking;
    case Phase::Finished: return from == Phase::PeerGone;
    }
    return false;
}

void Winsock::enter(Phase next)
{
    Q_ASSERT(canEnter(phase_, next));
    phase_ = next;
    switch (next) {
    case Phase::Idle:
        reset();
        break;
    case Phase::Connecting:
        // Without a host the attempt fails at once, after Connect has returned.
        connectTimer_->start(socket_ ? connectTimeoutMs_ : 0);
        break;
    case Phase::Failed:
        connectTimer_->stop();
        if (QTcpSocket *socket = std::exchange(socket_, nullptr))
            dropSocket(socket);
        break;
    case Phase::Talking:
        connectTimer_->stop();
        startConversation();
        break;
    case Phase::PeerGone:
        connectTimer_->stop();
        scheduleRead(); // delivers what is left, then raises closed()
        break;
    case Phase::Listening:
    case Phase::Finished:
        break;
    }
}

void Winsock::reset()
{
    connectTimer_->stop();
    delete std::exchange(nextRead_, nullptr); // a queued read of the old conversation never runs
    chunkBytes_ = ReadChunkBytes / 4;
    decoder_.reset();
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
    switch (phase_) {
    case Phase::Idle: return SocketState::Closed;
    case Phase::Listening: return SocketState::Listening;
    case Phase::Failed: return SocketState::Error;
    case Phase::PeerGone:
    case Phase::Finished: return SocketState::Closing;
    case Phase::Connecting:
    case Phase::Talking: break;
    }
    if (!socket_)
        return SocketState::Closed;
    switch (socket_->state()) {
    case QAbstractSocket::HostLookupState: return SocketState::ResolvingHost;
    case QAbstractSocket::ConnectingState: return SocketState::Connecting;
    case QAbstractSocket::ConnectedState: return SocketState::Connected;
    case QAbstractSocket::ClosingState: return SocketState::Closing;
    default: return SocketState::Closed;
    }
}

void Winsock::dropSocket(QTcpSocket *socket)
{
    // An attempt still connecting, or a request nobody accepted, is given up
    // at once, or the other side would hold a half-open connection for seconds.
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace platform
