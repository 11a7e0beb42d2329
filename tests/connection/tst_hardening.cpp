// Hostile peers: floods, bytes no chat program would send, sending into a
// dropped connection, the one-peer rule, and the transcript's bound.

#include "transcript/transcriptbox.h"
#include "support/peers.h"

#include <QAction>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

using namespace peers;
using platform::TranscriptBox;
using platform::Winsock;

namespace {

// What the view shows for the text of these tests: each break as one line
// break, NUL and bell as their symbols.
QString shownAs(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar(0), QChar(0x2400));
    text.replace(QChar(7), QChar(0x2407));
    return text;
}

} // namespace

class TstHardening : public QObject
{
    Q_OBJECT

private slots:
    void transcriptBound_data();
    void transcriptBound();
    void floodLeavesDisconnectWorking_data();
    void floodLeavesDisconnectWorking();
    void sendIntoDroppedConnection();
    void onePeerAtATime();
};

void TstHardening::transcriptBound_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<qsizetype>("maxChars");
    QTest::addColumn<bool>("wholeLines"); // every line is short: trims drop whole lines

    QStringList shortLines;
    for (int i = 0; i < 200; ++i)
        shortLines << QStringLiteral("\r\nAnn: line %1").arg(i);
    QTest::newRow("many short lines") << shortLines << qsizetype(300) << true;

    QStringList splitPairs;
    for (int i = 0; i < 120; ++i)
        splitPairs << QStringLiteral("Bob: %1 \U0001F600\r").arg(i) << QStringLiteral("\n");
    QTest::newRow("CR LF split over appends") << splitPairs << qsizetype(200) << true;

    QStringList loneBreaks;
    for (int i = 0; i < 150; ++i)
        loneBreaks << QStringLiteral("x%1\ry\nz\u0000\u0007").arg(i);
    QTest::newRow("lone CR and LF, controls") << loneBreaks << qsizetype(250) << true;

    QStringList huge;
    huge << QStringLiteral("\r\nshort") << QString(5000, u'a') + QStringLiteral("\U0001F600") + QString(3000, u'b')
         << QStringLiteral("\r\nafter");
    QTest::newRow("one line longer than the bound") << huge << qsizetype(1000) << false;

    QStringList surrogates;
    for (int i = 0; i < 100; ++i)
        surrogates << QString(7, u'x') + QStringLiteral("\U0001F600\U0001F601\U0001F602");
    QTest::newRow("no breaks, surrogate pairs") << surrogates << qsizetype(97) << false;
}

void TstHardening::transcriptBound()
{
    QFETCH(QStringList, pieces);
    QFETCH(qsizetype, maxChars);
    QFETCH(bool, wholeLines);

    TranscriptBox box;
    box.setMaxChars(maxChars);
    QString all;
    int trims = 0;
    qsizetype sinceTrim = 0;
    for (const QString &piece : pieces) {
        const qsizetype before = box.Text().size();
        box.appendText(piece);
        all += piece;
        sinceTrim += piece.size();
        const QString &kept = box.Text();
        QVERIFY2(kept.size() <= maxChars, qPrintable(QString::number(kept.size())));
        QVERIFY(all.endsWith(kept));
        if (kept.size() < before + piece.size()) {
            // Each trim drops enough that the next is a quarter of the bound away.
            QVERIFY2(trims == 0 || sinceTrim >= maxChars / 4,
                     qPrintable(QStringLiteral("trimmed again after %1 characters").arg(sinceTrim)));
            ++trims;
            sinceTrim = 0;
        }
        const qsizetype cut = all.size() - kept.size();
        // Never between the halves of a pair, and the view shows what is kept.
        QVERIFY(cut == 0 || !all[cut - 1].isHighSurrogate());
        QVERIFY(cut == 0 || !(all[cut - 1] == u'\r' && all[cut] == u'\n'));
        QVERIFY(cut == 0 || !wholeLines || all[cut - 1] == u'\n');
        QCOMPARE(box.viewPlainText(), shownAs(kept));
    }
    QVERIFY(trims > 0);
    QVERIFY(box.Text().endsWith(pieces.last()));
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
    // The window keeps 4 Mi characters at most (8 MiB of text); lowered here
    // so that this flood goes past the bound many times over.
    QCOMPARE(chat.ScreenMsg->maxChars(), qsizetype(4 * 1024 * 1024));
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
    QVERIFY(chat.ScreenMsg->Text().size() <= 256 * 1024);
    QVERIFY(server.boxes.isEmpty());
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
    // The lines went nowhere: the user is told so for every one, in clear
    // boxes: one that could not be sent, or what was sent and never arrived.
    QTRY_VERIFY(!client.boxes.isEmpty() && client.boxes.last().title == QStringLiteral("Not Delivered!"));
    int told = 0;
    for (const auto &box : std::as_const(client.boxes)) {
        if (box.style == 16) {
            QVERIFY2(box.prompt.contains(QStringLiteral("could not be sent")), qPrintable(box.prompt));
            ++told;
        } else {
            QCOMPARE(box.style, 48);
            // "Cli: are you there N" is 20 characters.
            const QRegularExpression owed(QStringLiteral("^The last (\\d+) characters of your last (?:line|(\\d+) lines)"));
            const QRegularExpressionMatch match = owed.match(box.prompt);
            QVERIFY2(match.hasMatch(), qPrintable(box.prompt));
            const int lines = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
            QCOMPARE(match.captured(1).toInt(), 20 * lines);
            told += lines;
        }
    }
    QCOMPARE(told, 3);
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
