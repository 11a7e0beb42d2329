#include "connection/farewell.h"

#include "system/kernelsocket.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTimer>

namespace platform {

namespace {
// How often the wait looks at the connection.
constexpr int StepMs = 50;
} // namespace

Farewell::Farewell(QTcpSocket *socket, int fd, SendLedger ledger, qint64 lostBytes, qint64 knownOwed,
                   int boundMs, QObject *parent)
    : QObject(parent),
      socket_(socket),
      fd_(fd),
      ledger_(std::move(ledger)),
      lostBytes_(lostBytes),
      knownOwed_(knownOwed),
      boundMs_(boundMs),
      timer_(new QTimer(this))
{
    since_.start();
    if (socket) {
        socket->setParent(this);
        // Whatever still arrives is dropped, so the close is never a reset.
        connect(socket, &QIODevice::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    }
    connect(timer_, &QTimer::timeout, this, &Farewell::step);
    // The program may end before the wait does.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Farewell::handOff);
}

void Farewell::start()
{
    // At once: a connection with nothing owed closes now, so what the peer
    // sends from here on meets a closed socket and it learns so.
    timer_->start(StepMs);
    step();
}

Farewell::~Farewell()
{
    handOff();
    // Whoever waits for this farewell may end the program when it is
    // destroyed, and Qt 6.8 says the program is quitting right then: that
    // must no longer reach a farewell that is half gone.
    disconnect(qApp, nullptr, this, nullptr);
}

void Farewell::step()
{
    if (stage_ == Stage::Over)
        return;
    if (knownOwed_ >= 0) {
        finish(knownOwed_);
        return;
    }
    const bool live = socket_ && socket_->state() == QAbstractSocket::ConnectedState;
    if (live)
        socket_->skip(socket_->bytesAvailable());
    // FIN goes after the last byte Qt still holds.
    if (stage_ == Stage::Sending && (!live || socket_->bytesToWrite() == 0)) {
        stage_ = kernel::shutdownSending(fd_) ? Stage::FinCounted : Stage::FinUncounted;
        if (fd_ < 0 && live)
            socket_->disconnectFromHost(); // no second descriptor: Qt closes once it has flushed
    }
    kernel::discardReceived(fd_);
    const qint64 queued = live ? socket_->bytesToWrite() : lostBytes_;
    // The FIN counts until acknowledged; it is no text.
    const qint64 unacknowledged =
        std::max<qint64>(0, kernel::unacknowledged(fd_) - (stage_ == Stage::FinCounted ? 1 : 0));
    const bool over = kernel::ended(fd_) || since_.elapsed() >= boundMs_;
    if (over || (stage_ != Stage::Sending && unacknowledged == 0 && (queued == 0 || !live)))
        finish(queued + unacknowledged);
}

void Farewell::finish(qint64 owed)
{
    const SendLedger::Owed what = ledger_.owed(owed);
    // Over before anyone hears of it: a receiver that waits in a box meanwhile
    // meets a farewell that does nothing more.
    handOff();
    emit finished(what.characters, what.lines);
    deleteLater();
}

void Farewell::handOff()
{
    stage_ = Stage::Over;
    timer_->stop();
    if (fd_ < 0 && !socket_)
        return;
    if (socket_ && socket_->state() == QAbstractSocket::ConnectedState) {
        // As much as the system takes now, without waiting.
        while (socket_->bytesToWrite() > 0 && socket_->flush()) {
        }
        socket_->skip(socket_->bytesAvailable());
    }
    kernel::shutdownSending(fd_);
    kernel::discardReceived(fd_);
    kernel::release(fd_);
    fd_ = -1;
    if (socket_) {
        // The system keeps delivering what it holds; Qt's own queue ends here.
        if (socket_->state() != QAbstractSocket::UnconnectedState)
            socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

} // namespace platform
