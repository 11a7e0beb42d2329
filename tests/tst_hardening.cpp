// Hostile and lost peers: floods, long lines, resets, half-closes, a peer
// that vanishes, sending into a dropped connection, and the one-peer rule.

#include "chat/formchat.h"
#include "platform/textbox.h"
#include "platform/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

using platform::TranscriptBox;
using platform::Winsock;

namespace {

const QString Greeting = QStringLiteral("Welcome To Chat!\r\n");

// Every arrival's text, in order, read right after the window took it.
struct Arrivals
{
    explicit Arrivals(FormChat &chat)
    {
        QObject::connect(chat.Winsock, &Winsock::dataArrival, chat.Winsock, [this, &chat] {
            texts.append(chat.InData);
            joined += chat.InData;
        });
    }
    // The transcript the receiver must show: greeting, then CR LF before each arrival.
    QString transcript() const
    {
        QString expected = Greeting;
        for (const QString &text : texts)
            expected += QStringLiteral("\r\n") + text;
        return expected;
    }
    QStringList texts;
    QString joined;
};

quint16 listenOnAnyPort(TestProgram &program)
{
    program->form<FormSetup>().UserName->setText(QStringLiteral("Srv"));
    FormChat &chat = program->form<FormChat>();
    chat.Winsock->setLocalPort(0);
    chat.Winsock->Listen();
    chat.Status->setText(QStringLiteral("Listening..."));
    return static_cast<quint16>(chat.Winsock->LocalPort());
}

void connectTo(TestProgram &program, quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
{
    program->form<FormSetup>().UserName->setText(QStringLiteral("Cli"));
    FormChat &chat = program->form<FormChat>();
    chat.Winsock->setRemoteHost(host);
    chat.Winsock->setRemotePort(port);
    chat.Winsock->Connect();
    chat.Status->setText(QStringLiteral("Connecting..."));
}

// The endpoint's connected socket, for looking at its options.
QTcpSocket *liveSocket(FormChat &chat)
{
    for (QTcpSocket *socket : chat.Winsock->findChildren<QTcpSocket *>()) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            return socket;
    }
    return nullptr;
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(rng.bounded(256));
    return bytes;
}

QByteArray chatLines(qsizetype size)
{
    QByteArray bytes;
    bytes.reserve(size + 64);
    for (int n = 0; bytes.size() < size; ++n)
        bytes += "\r\nEve: flood line " + QByteArray::number(n) + " \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    return bytes;
}

#ifdef Q_OS_LINUX
int intOption(QTcpSocket *socket, int level, int name)
{
    int value = -1;
    socklen_t size = sizeof value;
    if (getsockopt(static_cast<int>(socket->socketDescriptor()), level, name, &value, &size) != 0)
        return -1;
    return value;
}

// Bytes the kernel still holds for the peer.
int unsentBytes(QTcpSocket *socket)
{
    int queued = -1;
    ioctl(static_cast<int>(socket->socketDescriptor()), SIOCOUTQ, &queued);
    return queued;
}
#endif

enum class Going { Reset, CloseMidLine, HalfClose };

} // namespace

class TstHardening : public QObject
{
    Q_OBJECT

private slots:
    void transcriptBound_data();
    void transcriptBound();
    void floodLeavesDisconnectWorking_data();
    void floodLeavesDisconnectWorking();
    void lostPeer_data();
    void lostPeer();
    void peerBytesKeptExactly_data();
    void peerBytesKeptExactly();
    void keepAliveSet_data();
    void keepAliveSet();
    void sendIntoDroppedConnection();
    void sendOnClosedEndpointIsClearError();
    void onePeerAtATime();
};

void TstHardening::transcriptBound_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<qsizetype>("maxChars");

    QStringList shortLines;
    for (int i = 0; i < 200; ++i)
        shortLines << QStringLiteral("\r\nAnn: line %1").arg(i);
    QTest::newRow("many short lines") << shortLines << qsizetype(300);

    QStringList splitPairs;
    for (int i = 0; i < 120; ++i)
        splitPairs << QStringLiteral("Bob: %1 \U0001F600\r").arg(i) << QStringLiteral("\n");
    QTest::newRow("CR LF split over appends") << splitPairs << qsizetype(200);

    QStringList loneBreaks;
    for (int i = 0; i < 150; ++i)
        loneBreaks << QStringLiteral("x%1\ry\nz\u0000\u0007").arg(i);
    QTest::newRow("lone CR and LF, controls") << loneBreaks << qsizetype(250);

    QStringList huge;
    huge << QStringLiteral("\r\nshort") << QString(5000, u'a') + QStringLiteral("\U0001F600") + QString(3000, u'b')
         << QStringLiteral("\r\nafter");
    QTest::newRow("one line longer than the bound") << huge << qsizetype(1000);

    QStringList surrogates;
    for (int i = 0; i < 100; ++i)
        surrogates << QString(7, u'x') + QStringLiteral("\U0001F600\U0001F601\U0001F602");
    QTest::newRow("no breaks, surrogate pairs") << surrogates << qsizetype(97);
}

void TstHardening::transcriptBound()
{
    QFETCH(QStringList, pieces);
    QFETCH(qsizetype, maxChars);

    TranscriptBox box;
    box.setMaxChars(maxChars);
    QString all;
    bool trimmed = false;
    for (const QString &piece : pieces) {
        box.appendText(piece);
        all += piece;
        const QString &kept = box.Text();
        QVERIFY2(kept.size() <= maxChars, qPrintable(QString::number(kept.size())));
        QVERIFY(all.endsWith(kept));
        const qsizetype cut = all.size() - kept.size();
        trimmed = trimmed || cut > 0;
        // Never between the halves of a pair, and the view shows what is kept.
        QVERIFY(cut == 0 || !all[cut - 1].isHighSurrogate());
        QVERIFY(cut == 0 || !(all[cut - 1] == u'\r' && all[cut] == u'\n'));
        QCOMPARE(box.document()->toPlainText(), TranscriptBox::viewText(kept, false));
    }
    QVERIFY(trimmed);
    QVERIFY(box.Text().endsWith(pieces.last()));
    // Trimming at most once per eighth of the bound: at least that much is kept.
    QVERIFY(box.Text().size() >= std::min<qsizetype>(maxChars / 2, all.size()));
}

void TstHardening::floodLeavesDisconnectWorking_data()
{
    QTest::addColumn<QByteArray>("flood");
    QTest::newRow("random bytes") << randomBytes(6 << 20);
    QTest::newRow("chat lines") << chatLines(6 << 20);
}

void TstHardening::floodLeavesDisconnectWorking()
{
    QFETCH(QByteArray, flood);
    TestProgram server;
    const quint16 port = listenOnAnyPort(server);
    FormChat &chat = server->form<FormChat>();
    chat.ScreenMsg->setMaxChars(256 * 1024);
    QSignalSpy arrivals(chat.Winsock, &Winsock::dataArrival);

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(peer.waitForConnected(5000));
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));
    peer.write(flood);
    QTRY_VERIFY(arrivals.count() >= 4);

    chat.mnuCD->trigger();
    QCOMPARE(chat.Status->text(), QStringLiteral("Disconnected"));
    QVERIFY(!chat.Command1->isEnabled());
    // The flooding peer is cut off and nothing more is read.
    QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
    const qsizetype seen = arrivals.count();
    QVERIFY(!arrivals.wait(300));
    QCOMPARE(arrivals.count(), seen);
    // Each arrival is at most one chunk, and the transcript kept its bound.
    for (const QList<QVariant> &arrival : std::as_const(arrivals))
        QVERIFY(arrival.at(0).toLongLong() <= Winsock::ReadChunkBytes);
    QVERIFY(chat.ScreenMsg->Text().size() <= 256 * 1024);
    QVERIFY(server.boxes.isEmpty());
}

void TstHardening::lostPeer_data()
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

void TstHardening::lostPeer()
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
        const linger hard{1, 0};
        setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
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

void TstHardening::peerBytesKeptExactly_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("shown");
    QTest::newRow("byte order mark first") << QByteArray("\xEF\xBB\xBFhi") << QStringLiteral("\uFEFFhi");
    QTest::newRow("two byte order marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") << QStringLiteral("\uFEFF\uFEFF");
    QTest::newRow("NUL and bell") << QByteArray("a\0b\x07", 4) << QString::fromUtf16(u"a\0b\a", 4);
    QTest::newRow("invalid bytes") << QByteArray("\xFF\xC0\x80ok\xED\xA0\x80") << QStringLiteral("\uFFFD\uFFFD\uFFFDok\uFFFD\uFFFD\uFFFD");
}

void TstHardening::peerBytesKeptExactly()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, shown);
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    Arrivals arrivals(chat);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, listenOnAnyPort(program));
    QVERIFY(peer.waitForConnected(5000));
    peer.write(sent);
    peer.disconnectFromHost();
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Disconnected"));
    QCOMPARE(arrivals.joined, shown);
    QCOMPARE(chat.ScreenMsg->Text(), arrivals.transcript());
}

void TstHardening::keepAliveSet_data()
{
    QTest::addColumn<bool>("programListens");
    QTest::newRow("accepted server socket") << true;
    QTest::newRow("client socket") << false;
}

void TstHardening::keepAliveSet()
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
    QCOMPARE(intOption(socket, IPPROTO_TCP, TCP_USER_TIMEOUT), 60000);
#endif
}

void TstHardening::sendIntoDroppedConnection()
{
    TestProgram server;
    TestProgram client;
    connectTo(client, listenOnAnyPort(server));
    FormChat &chat = client->form<FormChat>();
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));
    QTRY_COMPARE(server->form<FormChat>().Status->text(), QStringLiteral("Connected"));

    // The server goes with a reset, and the client sends before it has heard of it.
    QTcpSocket *serverSide = liveSocket(server->form<FormChat>());
    QVERIFY(serverSide);
#ifdef Q_OS_LINUX
    const linger hard{1, 0};
    setsockopt(static_cast<int>(serverSide->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
#endif
    server->form<FormChat>().mnuCD->trigger();
    for (int i = 0; i < 3; ++i) {
        chat.MyMsg->setText(QStringLiteral("are you there %1").arg(i));
        chat.Command1->click();
    }
    QVERIFY(chat.ScreenMsg->Text().endsWith(QStringLiteral("\r\nCli: are you there 2")));
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Disconnected"));
    QVERIFY(chat.ScreenMsg->Text().contains(QStringLiteral("\r\nCli: are you there 0\r\nCli: are you there 1")));
    QVERIFY(!chat.Command1->isEnabled());
    // A send the endpoint refused is a clear box, never silence.
    for (const auto &box : std::as_const(client.boxes))
        QVERIFY2(box.prompt.contains(QStringLiteral("could not be sent")), qPrintable(box.prompt));
}

void TstHardening::sendOnClosedEndpointIsClearError()
{
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    program->run([&] { chat.Winsock->SendData(QStringLiteral("\r\nAnn: hi")); });
    QCOMPARE(program.boxes.size(), 1);
    QCOMPARE(program.boxes.first().style, 16);
    QVERIFY(program.boxes.first().prompt.contains(QStringLiteral("could not be sent")));
}

void TstHardening::onePeerAtATime()
{
    TestProgram server;
    const quint16 port = listenOnAnyPort(server);
    FormChat &chat = server->form<FormChat>();
    // Two peers knock at once: one is taken, the other is dropped.
    QTcpSocket first, second;
    first.connectToHost(QHostAddress::LocalHost, port);
    second.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(5000));
    QVERIFY(second.waitForConnected(5000));
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));
    QTRY_VERIFY((first.state() == QAbstractSocket::UnconnectedState)
                != (second.state() == QAbstractSocket::UnconnectedState));
    // While connected nothing listens: a latecomer is refused.
    QTcpSocket late;
    QSignalSpy lateError(&late, &QAbstractSocket::errorOccurred);
    late.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(lateError.count(), 1);
    QCOMPARE(late.error(), QAbstractSocket::ConnectionRefusedError);
    QCOMPARE(chat.Winsock->State(), qint16(Winsock::sckConnected));
    QCOMPARE(chat.Status->text(), QStringLiteral("Connected"));
}

QTEST_MAIN(TstHardening)
#include "tst_hardening.moc"
