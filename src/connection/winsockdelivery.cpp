#include "connection/winsock.h"

#include "connection/farewell.h"
#include "system/kernelsocket.h"
#include "system/socketoptions.h"

#include <QTcpSocket>
#include <QTimer>

#include <utility>

// What the endpoint sent and whether it arrived: a peer that stops answering
// is given up, and a conversation that ends hands its connection to a
// Farewell, which delivers the rest and tells what did not arrive.

namespace platform {

void Winsock::startConversation()
{
    tuneConnection(socket_, lostPeerMs_);
    conversing_ = true;
    kernelFd_ = kernel::duplicate(socket_->socketDescriptor());
}

void Winsock::endConversation(QTcpSocket *socket)
{
    // What was sent goes on to the peer and the connection closes with FIN;
    // the wait for it goes on in the background.
    socket->disconnect(this);
    const bool live = socket->state() == QAbstractSocket::ConnectedState;
    const qint64 lost = live || queuedAtEnd_ < 0 ? 0 : queuedAtEnd_;
    auto *farewell = new Farewell(live ? socket : nullptr, std::exchange(kernelFd_, -1), std::exchange(ledger_, {}),
                                  lost, lostOwed_, farewellMs_, this);
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
    queuedAtEnd_ = -1;
    lostOwed_ = -1;
    owedSince_.invalidate();
    deliveryTimer_->stop();
}

void Winsock::checkDelivery()
{
    if (phase_ != Phase::Talking || !socket_) {
        deliveryTimer_->stop();
        return;
    }
    const qint64 owed = socket_->bytesToWrite() + kernel::unacknowledged(kernelFd_);
    ledger_.settle(owed);
    if (owed == 0) {
        deliveryTimer_->stop();
        owedSince_.invalidate();
        return;
    }
    if (!owedSince_.isValid())
        owedSince_.start();
    if (owedSince_.elapsed() < lostPeerMs_ || !kernel::stoppedAnswering(kernelFd_, lostPeerMs_))
        return;
    // Nothing has come back for the whole limit: the peer is gone. Its
    // going is reported as a close, and what it never took as undelivered.
    lostOwed_ = owed;
    queuedAtEnd_ = socket_->bytesToWrite();
    socket_->abort();
}

} // namespace platform
