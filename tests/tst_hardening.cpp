// Hostile peers: floods, bytes no chat program would send, sending into a
// dropped connection, the one-peer rule, and the transcript's bound.

#include "platform/ui/transcriptbox.h"
#include "support/peers.h"

#include <QAction>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

using namespace peers;
using platform::TranscriptBox;
using platform::Winsock;

class TstHardening : public QObject
{
    Q_OBJECT

private slots:
    void transcriptBound_data();
    void transcriptBound();
    void floodLeavesDisconnectWorking_data();
    void floodLeavesDisconnectWorking();
    void peerBytesKeptExactly_data();
    void peerBytesKeptExactly();
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
    resetOnClose(serverSide);
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
    QCOMPARE(chat.Winsock->State(), platform::SocketState::Connected);
    QCOMPARE(chat.Status->text(), QStringLiteral("Connected"));
}

QTEST_MAIN(TstHardening)
#include "tst_hardening.moc"
