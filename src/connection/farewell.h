#pragma once

#include "connection/sendledger.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QTcpSocket;
class QTimer;

namespace platform {

// The end of one connection, after the window has let it go: what is still
// queued goes to the system, the connection closes with FIN (never a reset),
// and for at most a bounded time the peer's acknowledgements are awaited.
// Then finished() says what, if anything, is still owed, and the connection
// is closed. What the peer sends meanwhile is read and dropped: left unread,
// it would turn the close into a reset, which can throw away what is still
// on its way to the peer.
//
// If the program ends first, what can be handed to the system without
// waiting is handed over and the connection closed the same way, so the
// system goes on delivering it.
class Farewell : public QObject
{
    Q_OBJECT

public:
    // `socket` is the live connection, or null when Qt has already closed it
    // (the peer went); `fd` a second descriptor of it (owned), or -1.
    // `lostBytes` were queued in Qt and are gone with it; `knownOwed`, when
    // not negative, ends the wait at once with that many bytes owed (a lost peer).
    Farewell(QTcpSocket *socket, int fd, SendLedger ledger, qint64 lostBytes, qint64 knownOwed, int boundMs,
             QObject *parent);
    ~Farewell() override;

    // Where the farewell has got to.
    enum class Stage {
        Sending,      // Qt still holds text for the peer; no FIN yet
        FinCounted,   // FIN queued after the last byte, and counted among the unacknowledged until the peer takes it
        FinUncounted, // sending shut by Qt, or the connection already gone: nothing extra is counted
        Over,         // the connection is the system's now, and finished() raised (unless the program ended first)
    };

    // Begins: closes at once if nothing is owed, else waits in the background.
    void start();
    Stage stage() const { return stage_; }

signals:
    // Raised once, after the connection has been closed: what is still owed.
    void finished(qint64 characters, qint32 lines);

private:
    void step();
    void finish(qint64 owed);
    void handOff();

    QPointer<QTcpSocket> socket_;
    int fd_;
    SendLedger ledger_;
    qint64 lostBytes_;
    qint64 knownOwed_;
    int boundMs_;
    Stage stage_ = Stage::Sending;
    QElapsedTimer since_;
    QTimer *timer_;
};

} // namespace platform
