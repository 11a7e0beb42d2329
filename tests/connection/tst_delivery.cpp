// What was sent is never lost without a word: a peer that stops reading
// (its receive buffer full) is waited for, never cut off; Disconnect, Exit
// and a peer's going deliver or tell how much did not arrive, and close
// without a reset. The peer is a plain socket that reads only when told to.

#include "connection/deliverywatch.h"
#include "connection/farewell.h"
#include "connection/sendledger.h"
#include "support/peers.h"
#include "support/stalledpeer.h"
#include "system/kernelsocket.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QElapsedTimer>
#include <QtTest>

using namespace peers;
using platform::Winsock;

class TstDelivery : public QObject
{
    Q_OBJECT

private slots:
    void ledgerCountsWhatIsOwed();
    void giveUpRule_data();
    void giveUpRule();
    void watchHandsOverWhatWasLost();
    void farewellStages();
    void pausedPeerIsWaitedFor();
    void disconnectDeliversEverything();
    void disconnectTellsWhatDidNotArrive();
    void peerResetTellsWhatWasOwedOnce();
    void exitDeliversEverything_data();
    void exitDeliversEverything();
    void exitTellsWhatDidNotArrive();

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

void TstDelivery::giveUpRule_data()
{
    // Each look: bytes owed, the clock in ms, whether the peer was silent for
    // the whole limit, and the verdict; the limit is 1000 ms.
    QTest::addColumn<QList<QList<int>>>("looks");
    enum { Delivered, Owed, Lost };
    QTest::newRow("owed and silent for the whole limit")
        << QList<QList<int>>{{10, 0, 0, Owed}, {10, 999, 1, Owed}, {10, 1000, 1, Lost}};
    QTest::newRow("a peer that answers is never given up")
        << QList<QList<int>>{{10, 0, 0, Owed}, {10, 5000, 0, Owed}, {10, 60000, 0, Owed}};
    QTest::newRow("silent, but owed for less than the limit")
        << QList<QList<int>>{{10, 500, 1, Owed}, {10, 1499, 1, Owed}, {10, 1500, 1, Lost}};
    QTest::newRow("a delivered moment starts the wait afresh")
        << QList<QList<int>>{{10, 0, 0, Owed}, {0, 600, 0, Delivered}, {10, 700, 1, Owed},
                             {10, 1600, 1, Owed}, {10, 1700, 1, Lost}};
    QTest::newRow("nothing owed, silent or not") << QList<QList<int>>{{0, 0, 1, Delivered}, {0, 5000, 1, Delivered}};
}

void TstDelivery::giveUpRule()
{
    QFETCH(QList<QList<int>>, looks);
    using Verdict = platform::DeliveryWatch::Verdict;
    const Verdict verdicts[] = {Verdict::Delivered, Verdict::Owed, Verdict::PeerLost};
    platform::DeliveryWatch watch(1000);
    for (const QList<int> &look : looks) {
        const Verdict verdict = watch.judge(look[0], 0, look[1], look[2] != 0);
        QVERIFY2(verdict == verdicts[look[3]], qPrintable(QStringLiteral("at %1 ms").arg(look[1])));
    }
}

void TstDelivery::watchHandsOverWhatWasLost()
{
    platform::DeliveryWatch watch(1000);
    // Qt dropped the connection: the first note of what it held counts, and
    // only if Qt no longer has the connection.
    watch.noteDropped(7);
    watch.noteDropped(3);
    QCOMPARE(watch.end(false).lostBytes, 7);
    QCOMPARE(watch.end(false).lostBytes, 0); // the next conversation starts clean
    watch.noteDropped(7);
    QCOMPARE(watch.end(true).lostBytes, 0);

    // A peer given up: what was owed ends the farewell's wait at once.
    watch.record("\r\nAnn: hello");
    QVERIFY(watch.judge(12, 0, 0, true) == platform::DeliveryWatch::Verdict::Owed);
    QVERIFY(watch.judge(12, 5, 1000, true) == platform::DeliveryWatch::Verdict::PeerLost);
    platform::DeliveryWatch::Handover handover = watch.end(false);
    QCOMPARE(handover.knownOwed, 12);
    QCOMPARE(handover.lostBytes, 5);
    QCOMPARE(handover.ledger.bytes(), 12);
    handover = watch.end(false);
    QCOMPARE(handover.knownOwed, -1);
    QCOMPARE(handover.ledger.bytes(), 0);
}

void TstDelivery::farewellStages()
{
    using platform::Farewell;
    using Stage = Farewell::Stage;
    const QByteArray line = "\r\nAnn: caf\xc3\xa9"; // "Ann: café", 12 bytes
    const auto ledger = [&] {
        platform::SendLedger sent;
        sent.record(line);
        return sent;
    };
    QObject owner;
    const auto over = [](Farewell *farewell, QSignalSpy &finished, qint64 characters, int lines) {
        QCOMPARE(farewell->stage(), Stage::Over);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished[0][0].toLongLong(), characters);
        QCOMPARE(finished[0][1].toInt(), lines);
    };

    // A peer given up with the last 3 bytes owed ("f", "é"): over at once.
    auto *given = new Farewell(nullptr, -1, ledger(), 0, 3, 5000, &owner);
    QSignalSpy givenFinished(given, &Farewell::finished);
    given->start();
    over(given, givenFinished, 2, 1);
    // Qt dropped the connection holding 4 bytes ("af", "é").
    auto *dropped = new Farewell(nullptr, -1, ledger(), 4, -1, 5000, &owner);
    QSignalSpy droppedFinished(dropped, &Farewell::finished);
    dropped->start();
    over(dropped, droppedFinished, 3, 1);
    // A farewell whose end is the program's end: Qt 6.8 says the program is
    // quitting while the farewell is being destroyed, and that must no
    // longer reach it (the sanitizers' build catches a call into it).
    auto *last = new Farewell(nullptr, -1, ledger(), 0, 3, 5000, &owner);
    connect(last, &QObject::destroyed, qApp, [] { QMetaObject::invokeMethod(qApp, "aboutToQuit"); });
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    delete last;
    QCOMPARE(quitting.count(), 1);

#ifdef Q_OS_LINUX
    // Everything acknowledged: the FIN is no text, so it is over at once.
    {
        peers::StalledPeer peer;
        auto *socket = new QTcpSocket;
        socket->connectToHost(QHostAddress::LocalHost, peer.port);
        QVERIFY(socket->waitForConnected(5000) && peer.accept());
        socket->write(line);
        const int fd = platform::kernel::duplicate(socket->socketDescriptor());
        QTRY_COMPARE(peer.queued(), line.size());
        QTRY_COMPARE(platform::kernel::unacknowledged(fd), 0);
        auto *farewell = new Farewell(socket, fd, ledger(), 0, -1, 5000, &owner);
        QSignalSpy finished(farewell, &Farewell::finished);
        farewell->start();
        over(farewell, finished, 0, 0);
        bool reset = true;
        QCOMPARE(peer.readToEnd(&reset), line);
        QVERIFY(!reset);
    }
    // Qt still holds text: it is sent, then FIN, and nothing is owed.
    {
        peers::StalledPeer peer;
        auto *socket = new QTcpSocket;
        socket->connectToHost(QHostAddress::LocalHost, peer.port);
        QVERIFY(socket->waitForConnected(5000) && peer.accept());
        const QByteArray text = line.repeated(20000);
        socket->write(text);
        QVERIFY(socket->bytesToWrite() > 0);
        QPointer<Farewell> farewell = new Farewell(socket, platform::kernel::duplicate(socket->socketDescriptor()),
                                                   ledger(), 0, -1, 5000, &owner);
        QSignalSpy finished(farewell, &Farewell::finished);
        farewell->start();
        QCOMPARE(farewell->stage(), Stage::Sending);
        bool reset = true;
        QCOMPARE(peer.readToEnd(&reset), text);
        QVERIFY(!reset);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished[0][0].toLongLong(), 0);
        QTRY_VERIFY(farewell.isNull());
    }
#endif
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
    // Wait until the peer's buffer is full and the rest waits in the sender:
    // the same count for a while, not just twice in a row (a busy machine
    // can pause the sender between two looks).
    int acknowledged = -1;
    QElapsedTimer unchanged;
    QVERIFY(QTest::qWaitFor([&] {
        const int now = c.peer.queued();
        if (now != acknowledged || now == 0) {
            acknowledged = now;
            unchanged.start();
            return false;
        }
        return unchanged.elapsed() >= 300;
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

void TstDelivery::exitDeliversEverything_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Exit") << "Exit";
    QTest::newRow("closing the chat window") << "close";
    QTest::newRow("the setup window's Exit after Reconnect") << "setup Exit";
}

void TstDelivery::exitDeliversEverything()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    QFETCH(QString, action);
    Conversation c;
    QVERIFY(start(c, 60000, 5000));
    send(c, 4, 128 * 1024);
    QPointer<FormChat> chat = &c.chat();
    QVERIFY(unsentBytes(liveSocket(*chat)) > 0);
    if (action == QLatin1String("Exit")) {
        chat->mnuCE->trigger();
    } else if (action == QLatin1String("close")) {
        QVERIFY(chat->close());
    } else {
        chat->mnuCR->trigger();
        FormSetup &setup = c.program->form<FormSetup>();
        QVERIFY(setup.isVisible());
        setup.mnuCE->trigger();
    }
    // The windows go at once; the program stays only for the text on its way.
    QVERIFY(c.program->hasEnded());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    QCOMPARE(c.program.endCount, 0);

    bool reset = false;
    QCOMPARE(c.peer.readToEnd(&reset), c.wire.join());
    QVERIFY(!reset);
    QTRY_COMPARE(c.program.endCount, 1);
    QVERIFY(c.program.boxes.isEmpty());
    QTRY_VERIFY(chat.isNull());
#endif
}

void TstDelivery::exitTellsWhatDidNotArrive()
{
#ifndef Q_OS_LINUX
    QSKIP("the stalled peer is made with Linux sockets");
#else
    // The peer never reads: when the farewell's wait is over the user is
    // told, as Disconnect tells, and the program ends once the box is closed.
    Conversation c;
    QVERIFY(start(c, 60000, 300));
    send(c, 6, 128 * 1024);
    qsizetype boxesAtEnd = -1;
    c.program->setEndAction([&] {
        boxesAtEnd = c.program.boxes.size();
        ++c.program.endCount;
    });
    c.chat().mnuCE->trigger();
    QCOMPARE(c.program.endCount, 0);
    QTRY_COMPARE(c.program.endCount, 1);
    QCOMPARE(boxesAtEnd, 1);
    const auto [characters, lines] = owedFrom(c.wire, c.peer.queued());
    QVERIFY(characters > 0 && lines > 1);
    const auto &box = c.program.boxes.first();
    QCOMPARE(box.title, QStringLiteral("Not Delivered!"));
    QCOMPARE(box.style, 48);
    QCOMPARE(box.prompt, QStringLiteral("The last %1 characters of your last %2 lines may not have arrived.")
                             .arg(QLocale().toString(characters)).arg(lines));
#endif
}

QTEST_MAIN(TstDelivery)
#include "tst_delivery.moc"
