// What was sent is never lost without a word: a peer that stops reading
// (its receive buffer full) is waited for, never cut off; Disconnect and a
// peer's going deliver or tell how much did not arrive; Exit hands what it
// can to the system and closes without a reset. The peer is a plain socket
// that reads only when told to.

#include "connection/farewell.h"
#include "connection/sendledger.h"
#include "support/peers.h"
#include "support/stalledpeer.h"

#include <QAction>
#include <QPushButton>
#include <QtTest>

using namespace peers;
using platform::Winsock;

class TstDelivery : public QObject
{
    Q_OBJECT

private slots:
    void ledgerCountsWhatIsOwed();
    void pausedPeerIsWaitedFor();
    void disconnectDeliversEverything();
    void disconnectTellsWhatDidNotArrive();
    void peerResetTellsWhatWasOwedOnce();
    void exitHandsOverWithoutReset();

private:
#ifdef Q_OS_LINUX
    // A chat window connected to a stalled peer, that has sent `count` lines of `size` bytes.
    struct Conversation
    {
        TestProgram program;
        StalledPeer peer;
        QList<QByteArray> wire;
        FormChat &chat() { return program->form<FormChat>(); }
        qint64 sent() const
        {
            qint64 total = 0;
            for (const QByteArray &line : wire)
                total += line.size();
            return total;
        }
    };
    static bool start(Conversation &c, int lostPeerMs, int farewellMs);
    static void send(Conversation &c, int count, int size);
#endif
};

#ifdef Q_OS_LINUX
bool TstDelivery::start(Conversation &c, int lostPeerMs, int farewellMs)
{
    c.chat().Winsock->setLostPeerMs(lostPeerMs);
    c.chat().Winsock->setFarewellMs(farewellMs);
    connectTo(c.program, c.peer.port);
    return c.peer.accept() && QTest::qWaitFor([&] { return c.chat().Status->text() == QLatin1String("Connected"); });
}

void TstDelivery::send(Conversation &c, int count, int size)
{
    for (int i = 0; i < count; ++i) {
        // Characters of one, two and four bytes, so counts are of characters, not bytes.
        QString message = QStringLiteral("line %1 ").arg(i);
        while (message.size() < size / 3)
            message += QStringLiteral("a\u00e9\U0001F600");
        c.chat().MyMsg->setText(message);
        QTest::mouseClick(c.chat().Command1, Qt::LeftButton);
        c.wire << QStringLiteral("\r\nCli: %1").arg(message).toUtf8();
    }
}
#endif

void TstDelivery::ledgerCountsWhatIsOwed()
{
    platform::SendLedger ledger;
    const QList<QByteArray> lines = {"\r\nAnn: one", QStringLiteral("\r\nAnn: caf\u00e9 \U0001F600").toUtf8(),
                                     "\r\nAnn: three"};
    for (const QByteArray &line : lines)
        ledger.record(line);
    qint64 total = 0;
    for (const QByteArray &line : lines)
        total += line.size();
    for (qint64 owed : {qint64(0), qint64(3), qint64(12), qint64(17), total}) {
        const auto [characters, touched] = owedFrom(lines, total - owed);
        QCOMPARE(ledger.owed(owed).characters, characters);
        QCOMPARE(ledger.owed(owed).lines, touched);
    }
    // Settling keeps the lines still owed, and only those.
    ledger.settle(13);
    QCOMPARE(ledger.bytes(), lines[1].size() + lines[2].size());
    QCOMPARE(ledger.owed(13).characters, owedFrom(lines, total - 13).first);
}

void TstDelivery::pausedPeerIsWaitedFor()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    // A peer limit of two seconds, and a peer that reads nothing for seven:
    // its system answers the window probes (3.2 s apart by then), so it is
    // alive and waited for.
    Conversation c;
    QVERIFY(start(c, 2000, 5000));
    send(c, 4, 256 * 1024);
    QVERIFY(unsentBytes(liveSocket(c.chat())) > 0);
    QVERIFY(!QTest::qWaitFor([&] { return c.chat().Status->text() != QLatin1String("Connected"); }, 7000));
    QVERIFY(c.chat().Command1->isEnabled());

    // Everything arrives once it reads again, and the close after it is clean.
    c.chat().mnuCD->trigger();
    bool reset = false;
    QCOMPARE(c.peer.readToEnd(&reset), c.wire.join());
    QVERIFY(!reset);
    c.peer.close(); // as any peer does when the other side has closed
    QTRY_VERIFY(c.chat().Winsock->findChildren<platform::Farewell *>().isEmpty());
    QVERIFY(c.program.boxes.isEmpty());
#endif
}

void TstDelivery::disconnectDeliversEverything()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    Conversation c;
    QVERIFY(start(c, 60000, 5000));
    send(c, 8, 128 * 1024);
    // The peer has just sent something the window has not read yet: closing
    // with it unread would be a reset, which throws away what is in flight.
    c.peer.send(QByteArray(64 * 1024, 'x'));
    QVERIFY(QTest::qWaitFor([&] {
        int unread = 0;
        ioctl(int(liveSocket(c.chat())->socketDescriptor()), SIOCINQ, &unread);
        return unread > 0;
    }, 1000));
    c.chat().mnuCD->trigger();
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Disconnected"));
    QVERIFY(!c.chat().Command1->isEnabled());

    bool reset = false;
    const QByteArray got = c.peer.readToEnd(&reset);
    QCOMPARE(got.size(), c.sent());
    QCOMPARE(got, c.wire.join());
    QVERIFY(!reset);
    c.peer.close();
    QTRY_VERIFY(c.chat().Winsock->findChildren<platform::Farewell *>().isEmpty());
    QVERIFY(c.program.boxes.isEmpty());
#endif
}

void TstDelivery::disconnectTellsWhatDidNotArrive()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    // The peer never reads again: after the wait the user is told how much
    // of which lines it never acknowledged.
    Conversation c;
    QVERIFY(start(c, 60000, 300));
    send(c, 6, 128 * 1024);
    c.chat().mnuCD->trigger();
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Disconnected"));
    QTRY_COMPARE(c.program.boxes.size(), 1);
    // What the peer's system holds is exactly what it acknowledged.
    const auto [characters, lines] = owedFrom(c.wire, c.peer.queued());
    QVERIFY(characters > 0 && lines > 1);
    const auto &box = c.program.boxes.first();
    QCOMPARE(box.style, 48);
    QVERIFY2(box.prompt.contains(QLocale().toString(characters) + QStringLiteral(" characters")), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(QStringLiteral("last %1 lines").arg(lines)), qPrintable(box.prompt));
    QVERIFY(!box.detail.isEmpty());
    QTRY_VERIFY(c.chat().Winsock->findChildren<platform::Farewell *>().isEmpty());
    QCOMPARE(c.program.boxes.size(), 1);
#endif
}

void TstDelivery::peerResetTellsWhatWasOwedOnce()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    Conversation c;
    QVERIFY(start(c, 60000, 5000));
    send(c, 4, 128 * 1024);
    // Wait until the peer's buffer is full and the rest waits in the sender.
    int acknowledged = -1;
    QVERIFY(QTest::qWaitFor([&] {
        const int now = c.peer.queued();
        const bool still = now == acknowledged && now > 0;
        acknowledged = now;
        return still;
    }, 5000));
    c.peer.reset();
    QTRY_COMPARE(c.chat().Status->text(), QStringLiteral("Disconnected"));
    QTRY_COMPARE(c.program.boxes.size(), 1);
    const auto [characters, lines] = owedFrom(c.wire, acknowledged);
    const auto &box = c.program.boxes.first();
    QVERIFY2(box.prompt.contains(QLocale().toString(characters) + QStringLiteral(" characters")), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(QStringLiteral("last %1 lines").arg(lines)), qPrintable(box.prompt));
    QTRY_VERIFY(c.chat().Winsock->findChildren<platform::Farewell *>().isEmpty());
    QCOMPARE(c.program.boxes.size(), 1);
#endif
}

void TstDelivery::exitHandsOverWithoutReset()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    Conversation c;
    QVERIFY(start(c, 60000, 5000));
    send(c, 4, 128 * 1024);
    c.peer.send(QByteArray(64 * 1024, 'x'));
    QTcpSocket *socket = liveSocket(c.chat());
    QVERIFY(QTest::qWaitFor([&] {
        int unread = 0;
        ioctl(int(socket->socketDescriptor()), SIOCINQ, &unread);
        return unread > 0;
    }, 1000));
    // What the system holds when the program ends; it must all still arrive.
    const qint64 held = unsentBytes(socket) + c.peer.queued();
    // Exit ends the program as the real one ends: its event loop quits.
    c.program->setEndAction([&] {
        ++c.program.endCount;
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(0, c.chat().mnuCE, &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(c.program.endCount, 1);

    bool reset = false;
    const QByteArray got = c.peer.readToEnd(&reset);
    QVERIFY(!reset);
    QVERIFY2(got.size() >= held, qPrintable(QStringLiteral("%1 of %2").arg(got.size()).arg(held)));
    QCOMPARE(got, c.wire.join().first(got.size()));
#endif
}

QTEST_MAIN(TstDelivery)
#include "tst_delivery.moc"
