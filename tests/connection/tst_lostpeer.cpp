// Lost peers: a peer that resets, closes in the middle of a line or
// half-closes leaves everything it sent shown and "Disconnected" once; a peer
// that vanishes without a word is found by TCP keepalive.

#include "transcript/transcriptbox.h"
#include "support/peers.h"

#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

using namespace peers;
using platform::Winsock;

namespace {
enum class Going { Reset, CloseMidLine, HalfClose };
} // namespace

class TstLostPeer : public QObject
{
    Q_OBJECT

private slots:
    void lostPeer_data();
    void lostPeer();
    void keepAliveSet_data();
    void keepAliveSet();
};

void TstLostPeer::lostPeer_data()
{
    QTest::addColumn<bool>("programListens");
    QTest::addColumn<int>("going");
    QTest::addColumn<QByteArray>("sent");

    const QByteArray lines = "\r\nEve: one\r\nEve: two";
    const QByteArray big = chatLines(3 << 20);
    for (bool listens : {true, false}) {
        const char *side = listens ? "server: " : "client: ";
        QTest::addRow("%sreset", side) << listens << int(Going::Reset) << lines;
        QTest::addRow("%sreset after 3 MB", side) << listens << int(Going::Reset) << big;
        // The incomplete character at the end shows as U+FFFD.
        QTest::addRow("%sclose in the middle of a line", side)
            << listens << int(Going::CloseMidLine) << lines + "\r\nEve: caf\xC3";
        QTest::addRow("%sclose after 3 MB", side) << listens << int(Going::CloseMidLine) << big;
        QTest::addRow("%shalf-close", side) << listens << int(Going::HalfClose) << lines;
    }
}

void TstLostPeer::lostPeer()
{
    QFETCH(bool, programListens);
    QFETCH(int, going);
    QFETCH(QByteArray, sent);

    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    Arrivals arrivals(chat);
    QSignalSpy closes(chat.Winsock, &Winsock::closed);
    QTcpServer rawServer;
    std::unique_ptr<QTcpSocket> owned;
    QTcpSocket *peer = nullptr;
    if (programListens) {
        owned = std::make_unique<QTcpSocket>();
        peer = owned.get();
        peer->connectToHost(QHostAddress::LocalHost, listenOnAnyPort(program));
        QVERIFY(peer->waitForConnected(5000));
    } else {
        QVERIFY(rawServer.listen(QHostAddress::LocalHost, 0));
        connectTo(program, rawServer.serverPort());
        QTRY_VERIFY(rawServer.hasPendingConnections());
        peer = rawServer.nextPendingConnection();
    }
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));

    peer->write(sent);
    switch (Going(going)) {
    case Going::Reset: {
#ifdef Q_OS_LINUX
        // Everything is in the receiver's kernel before the reset throws away the rest.
        QTRY_VERIFY(peer->bytesToWrite() == 0 && unsentBytes(peer) == 0);
        resetOnClose(peer);
#else
        QSKIP("resets are made with SO_LINGER on Linux");
#endif
        peer->abort();
        break;
    }
    case Going::CloseMidLine:
        peer->disconnectFromHost();
        break;
    case Going::HalfClose:
#ifdef Q_OS_LINUX
        QTRY_COMPARE(peer->bytesToWrite(), qint64(0));
        ::shutdown(static_cast<int>(peer->socketDescriptor()), SHUT_WR);
#else
        QSKIP("half-close is made with shutdown() on Linux");
#endif
        break;
    }

    QTRY_COMPARE_WITH_TIMEOUT(chat.Status->text(), QStringLiteral("Disconnected"), 20000);
    QCOMPARE(closes.count(), 1);
    QCOMPARE(arrivals.joined, QString::fromUtf8(sent));
    QCOMPARE(chat.ScreenMsg->Text(), arrivals.transcript());
    QVERIFY(!chat.Command1->isEnabled());
    QVERIFY(!closes.wait(200));
    QCOMPARE(closes.count(), 1);
    QVERIFY(program.boxes.isEmpty());
}

void TstLostPeer::keepAliveSet_data()
{
    QTest::addColumn<bool>("programListens");
    QTest::newRow("accepted server socket") << true;
    QTest::newRow("client socket") << false;
}

void TstLostPeer::keepAliveSet()
{
#ifndef Q_OS_LINUX
    QSKIP("the keepalive timings are set on Linux");
#else
    QFETCH(bool, programListens);
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    QTcpServer rawServer;
    QTcpSocket rawClient;
    if (programListens) {
        rawClient.connectToHost(QHostAddress::LocalHost, listenOnAnyPort(program));
        QVERIFY(rawClient.waitForConnected(5000));
    } else {
        QVERIFY(rawServer.listen(QHostAddress::LocalHost, 0));
        connectTo(program, rawServer.serverPort());
    }
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));
    QTcpSocket *socket = liveSocket(chat);
    QVERIFY(socket);
    QCOMPARE(intOption(socket, SOL_SOCKET, SO_KEEPALIVE), 1);
    QCOMPARE(intOption(socket, IPPROTO_TCP, TCP_KEEPIDLE), 30);
    QCOMPARE(intOption(socket, IPPROTO_TCP, TCP_KEEPINTVL), 5);
    QCOMPARE(intOption(socket, IPPROTO_TCP, TCP_KEEPCNT), 6);
    // No system limit on unacknowledged data: it would also cut a peer that
    // is only paused (see tst_delivery).
    QCOMPARE(intOption(socket, IPPROTO_TCP, TCP_USER_TIMEOUT), 0);
    // Beyond 1 MiB a flood waits in the kernel, and TCP slows the sender.
    QCOMPARE(socket->readBufferSize(), qint64(1024 * 1024));
#endif
}

QTEST_MAIN(TstLostPeer)
#include "tst_lostpeer.moc"
