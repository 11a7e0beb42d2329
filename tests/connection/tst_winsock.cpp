// The endpoint against raw Qt peers on loopback: listening, accepting,
// connecting, the exact bytes on the wire, and how a conversation ends.

#include "connection/endpointphase.h"
#include "connection/winsock.h"
#include "program/error.h"
#include "support/testing.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using platform::EndpointPhase;
using platform::SocketState;
using platform::Winsock;

namespace {

// An endpoint with one raw peer at the other end of a live connection.
struct Conversation
{
    std::unique_ptr<Winsock> endpoint = std::make_unique<Winsock>();
    std::unique_ptr<QTcpServer> rawServer;
    std::unique_ptr<QTcpSocket> peer;
    QString received;       // everything GetData gave, in order
    int closedCount = 0;
    int connectedCount = 0;
    qsizetype receivedAtClose = -1;

    // Collects arrivals the way the chat window does: GetData on each one.
    void collect()
    {
        QObject::connect(endpoint.get(), &Winsock::dataArrival, endpoint.get(), [this] {
            QString data;
            endpoint->GetData(data);
            received += data;
        });
        QObject::connect(endpoint.get(), &Winsock::connected, endpoint.get(), [this] { ++connectedCount; });
        QObject::connect(endpoint.get(), &Winsock::closed, endpoint.get(), [this] {
            ++closedCount;
            receivedAtClose = received.size();
        });
    }
};

// Opens a conversation; `accepted` puts the endpoint on the listening side.
void open(Conversation &c, bool accepted)
{
    c.collect();
    if (accepted) {
        Winsock *endpoint = c.endpoint.get();
        QObject::connect(endpoint, &Winsock::connectionRequest, endpoint, [endpoint](qint32 id) {
            endpoint->Close();
            endpoint->Accept(id);
        });
        endpoint->setLocalPort(freeLowPort());
        endpoint->Listen();
        c.peer = std::make_unique<QTcpSocket>();
        c.peer->connectToHost(QHostAddress::LocalHost, quint16(endpoint->LocalPort()));
        QTRY_COMPARE(c.peer->state(), QAbstractSocket::ConnectedState);
        QTRY_COMPARE(endpoint->State(), platform::SocketState::Connected);
        return;
    }
    c.rawServer = std::make_unique<QTcpServer>();
    QVERIFY(c.rawServer->listen(QHostAddress::LocalHost, 0));
    c.endpoint->setRemoteHost(QStringLiteral("127.0.0.1"));
    c.endpoint->setRemotePort(c.rawServer->serverPort());
    c.endpoint->Connect();
    QTRY_COMPARE(c.connectedCount, 1);
    QTRY_VERIFY(c.rawServer->hasPendingConnections());
    c.peer.reset(c.rawServer->nextPendingConnection());
    c.peer->setParent(nullptr);
    QCOMPARE(c.endpoint->State(), platform::SocketState::Connected);
}

// Opens a conversation or ends the test that asked for it.
#define OPEN_OR_RETURN(c, accepted) \
    do { \
        open(c, accepted); \
        if (QTest::currentTestFailed()) \
            return; \
    } while (false)

// Text whose UTF-8 form is `bytes` long or a little more, with characters of
// every width, so chunk edges fall inside characters.
QString mixedText(qsizetype bytes)
{
    const QString piece = QStringLiteral("a\u00e9\u20ac\U0001F600\r\n");
    const qsizetype pieceBytes = piece.toUtf8().size();
    return piece.repeated((bytes + pieceBytes - 1) / pieceBytes);
}

} // namespace

class TstWinsock : public QObject
{
    Q_OBJECT

private slots:
    void listeningRaisesOneRequestPerPeer();
    void acceptCarriesTheConnectionAndStopsListening();
    void closeWhileConnectingGivesUpTheAttempt();
    void closeLetsThePeerSeeTheEnd_data();
    void closeLetsThePeerSeeTheEnd();
    void peerGoingRaisesClosedOnceAfterItsData_data();
    void peerGoingRaisesClosedOnceAfterItsData();
    void getDataDrainsEverythingOnce();
    void crNulReadsAsALineEndAcrossArrivals();
    void sendDataPutsExactlyTheUtf8OnTheWire_data();
    void sendDataPutsExactlyTheUtf8OnTheWire();
    void sendDataWithoutConnectionFails_data();
    void sendDataWithoutConnectionFails();
    void listenOnAPortInUseFails_data();
    void listenOnAPortInUseFails();
    void peerThatSpeaksAndLeavesAtOnceIsHeardOut();
    void failedConnectIsReported_data();
    void failedConnectIsReported();
    void readChunkFollowsTheReceiver();
    void phaseTakesOnlyItsSteps();
    void phaseReportsItsState_data();
    void phaseReportsItsState();
};

void TstWinsock::listeningRaisesOneRequestPerPeer()
{
    Winsock endpoint;
    QSignalSpy requests(&endpoint, &Winsock::connectionRequest);
    endpoint.setLocalPort(freeLowPort());
    endpoint.Listen();
    const auto port = quint16(endpoint.LocalPort());
    QVERIFY(port > 0);
    QCOMPARE(endpoint.State(), platform::SocketState::Listening);

    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(std::make_unique<QTcpSocket>());
        peers.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    QTRY_COMPARE(requests.count(), 3);
    QSet<qint32> ids;
    for (const QList<QVariant> &request : requests)
        ids.insert(request.at(0).toInt());
    QCOMPARE(ids.size(), 3);
    // Nobody took them: each peer is cut off, its request is gone, and the
    // endpoint still listens.
    for (const auto &peer : peers)
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
    QVERIFY_THROWS_EXCEPTION(platform::Error, endpoint.Accept(*ids.begin()));
    QCOMPARE(endpoint.State(), platform::SocketState::Listening);
    QCOMPARE(requests.count(), 3);

    endpoint.Close();
    QCOMPARE(endpoint.State(), platform::SocketState::Closed);
    QTcpSocket late;
    QSignalSpy refused(&late, &QAbstractSocket::errorOccurred);
    late.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(refused.count(), 1);
    QCOMPARE(late.error(), QAbstractSocket::ConnectionRefusedError);
}

void TstWinsock::acceptCarriesTheConnectionAndStopsListening()
{
    Conversation c;
    OPEN_OR_RETURN(c, true);
    const auto port = quint16(c.endpoint->LocalPort());

    QTcpSocket second;
    QSignalSpy secondGone(&second, &QAbstractSocket::errorOccurred);
    second.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(secondGone.count(), 1);
    QCOMPARE(c.endpoint->State(), platform::SocketState::Connected);

    // The accepted connection is the one that carries the conversation.
    c.peer->write("ping");
    QTRY_COMPARE(c.received, QStringLiteral("ping"));
    c.endpoint->SendData(QStringLiteral("pong"));
    QTRY_COMPARE(c.peer->bytesAvailable(), qint64(4));
    QCOMPARE(c.peer->readAll(), QByteArray("pong"));
}

void TstWinsock::closeWhileConnectingGivesUpTheAttempt()
{
    QTcpServer raw;
    QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
    Winsock endpoint;
    QSignalSpy connected(&endpoint, &Winsock::connected);
    QSignalSpy failed(&endpoint, &Winsock::errorOccurred);
    endpoint.setRemoteHost(QStringLiteral("127.0.0.1"));
    endpoint.setRemotePort(raw.serverPort());
    endpoint.Connect();
    endpoint.Close();
    QCOMPARE(endpoint.State(), platform::SocketState::Closed);
    // On loopback the handshake is already done: the server has a peer that
    // must go now, not linger as a half-open conversation.
    QVERIFY(raw.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(raw.nextPendingConnection());
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, 2000);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(failed.count(), 0);
}

void TstWinsock::closeLetsThePeerSeeTheEnd_data()
{
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qsizetype>("queuedBytes");
    QTest::newRow("accepted, nothing queued") << true << qsizetype(0);
    QTest::newRow("connected, nothing queued") << false << qsizetype(0);
    QTest::newRow("accepted, 2 MB queued") << true << qsizetype(2 << 20);
    QTest::newRow("connected, 2 MB queued") << false << qsizetype(2 << 20);
    // More than the system buffers: the rest goes out after Close returns.
    QTest::newRow("accepted, 32 MB queued") << true << qsizetype(32 << 20);
}

void TstWinsock::closeLetsThePeerSeeTheEnd()
{
    QFETCH(bool, accepted);
    QFETCH(qsizetype, queuedBytes);
    Conversation c;
    OPEN_OR_RETURN(c, accepted);
    const QString text = queuedBytes ? mixedText(queuedBytes) : QString();
    QSignalSpy gone(c.peer.get(), &QAbstractSocket::disconnected);
    QByteArray got;
    connect(c.peer.get(), &QIODevice::readyRead, this, [&] { got += c.peer->readAll(); });
    if (!text.isEmpty())
        c.endpoint->SendData(text);
    c.endpoint->Close();
    QCOMPARE(c.endpoint->State(), platform::SocketState::Closed);
    QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 10000);
    got += c.peer->readAll();
    // What was queued before Close still arrives, whole.
    QCOMPARE(got.size(), text.toUtf8().size());
    QVERIFY(got == text.toUtf8());
    QCOMPARE(c.closedCount, 0);
}

void TstWinsock::peerGoingRaisesClosedOnceAfterItsData_data()
{
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("how");
    QTest::addColumn<qsizetype>("bytes");
    for (bool accepted : {true, false}) {
        const char *side = accepted ? "accepted" : "connected";
        for (const char *how : {"close", "abort", "reset"}) {
            QTest::addRow("%s, peer %ss, short", side, how) << accepted << QString::fromLatin1(how) << qsizetype(40);
            if (qstrcmp(how, "reset") != 0)
                QTest::addRow("%s, peer %ss, 3 MB", side, how) << accepted << QString::fromLatin1(how)
                                                               << qsizetype(3 << 20);
        }
    }
}

void TstWinsock::peerGoingRaisesClosedOnceAfterItsData()
{
    QFETCH(bool, accepted);
    QFETCH(QString, how);
    QFETCH(qsizetype, bytes);
    Conversation c;
    OPEN_OR_RETURN(c, accepted);
    const QString text = mixedText(bytes);
    c.peer->write(text.toUtf8());
    if (how == QLatin1String("reset")) {
        // A reset may throw away what is still in flight, so it follows the delivery.
        QTRY_COMPARE(c.received, text);
        resetOnClose(c.peer.get());
        c.peer->abort();
    } else if (how == QLatin1String("abort")) {
        while (c.peer->bytesToWrite() > 0)
            QVERIFY(c.peer->waitForBytesWritten(10000));
        c.peer->abort();
    } else {
        c.peer->disconnectFromHost();
    }
    QTRY_COMPARE_WITH_TIMEOUT(c.closedCount, 1, 10000);
    QCOMPARE(c.receivedAtClose, text.size());
    QVERIFY(c.received == text);
    QVERIFY(c.endpoint->State() != platform::SocketState::Connected);
    QVERIFY_THROWS_EXCEPTION(platform::Error, c.endpoint->SendData(QStringLiteral("late")));
    // Still once, however long the loop runs on.
    QTest::qWait(0);
    QCoreApplication::processEvents();
    QCOMPARE(c.closedCount, 1);
}

void TstWinsock::getDataDrainsEverythingOnce()
{
    Conversation c;
    OPEN_OR_RETURN(c, true);
    // This time nothing is read on arrival: the next GetData must give it all.
    QObject::disconnect(c.endpoint.get(), &Winsock::dataArrival, nullptr, nullptr);
    qint64 announced = 0;
    connect(c.endpoint.get(), &Winsock::dataArrival, this, [&](qint32 bytes) { announced += bytes; });
    const QList<QByteArray> writes = {"one ", "two \xc3", "\xa9 three", "\r\n", "four"};
    QByteArray all;
    for (const QByteArray &w : writes) {
        c.peer->write(w);
        c.peer->flush();
        all += w;
    }
    QTRY_COMPARE(announced, qint64(all.size()));
    QString data;
    c.endpoint->GetData(data);
    QCOMPARE(data, QString::fromUtf8(all));
    c.endpoint->GetData(data);
    QCOMPARE(data, QString());
}

void TstWinsock::crNulReadsAsALineEndAcrossArrivals()
{
    // telnet's Enter, the CR at the end of one arrival and the NUL at the
    // start of the next; a NUL anywhere else is text.
    Conversation c;
    OPEN_OR_RETURN(c, true);
    c.peer->write("hi\r");
    QTRY_COMPARE(c.received, QStringLiteral("hi\r"));
    c.peer->write(QByteArray("\0there\r\0a\0", 10));
    QTRY_COMPARE(c.received.size(), 13);
    QCOMPARE(c.received, QString::fromUtf16(u"hi\r\nthere\r\na\0", 13));
}

void TstWinsock::sendDataPutsExactlyTheUtf8OnTheWire_data()
{
    QTest::addColumn<QStringList>("sends");
    QTest::newRow("chat line") << QStringList{QStringLiteral("\r\nAnn: hello")};
    QTest::newRow("accents, euro, emoji") << QStringList{QStringLiteral("\r\nZo\u00eb: 5\u20ac \U0001F600")};
    QTest::newRow("lone CR and LF, tab") << QStringList{QStringLiteral("a\rb\nc\td")};
    QTest::newRow("NUL inside") << QStringList{QString(QStringLiteral("a%1b")).arg(QChar(0))};
    QTest::newRow("empty adds nothing") << QStringList{QString(), QStringLiteral("x"), QString()};
    QTest::newRow("several in order") << QStringList{QStringLiteral("1"), QStringLiteral("22"), QStringLiteral("333")};
    QTest::newRow("1 MB") << QStringList{mixedText(1 << 20)};
}

void TstWinsock::sendDataPutsExactlyTheUtf8OnTheWire()
{
    QFETCH(QStringList, sends);
    for (bool accepted : {true, false}) {
        Conversation c;
        OPEN_OR_RETURN(c, accepted);
        QByteArray expected;
        for (const QString &text : sends) {
            c.endpoint->SendData(text);
            expected += text.toUtf8();
        }
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += c.peer->readAll()).size() >= expected.size(), 10000);
        // Anything extra would already be here: the endpoint wrote it in one go.
        c.endpoint->Close();
        QTRY_COMPARE(c.peer->state(), QAbstractSocket::UnconnectedState);
        got += c.peer->readAll();
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got == expected);
        // Connected is raised once, for the side that connected out.
        QCOMPARE(c.connectedCount, accepted ? 0 : 1);
    }
}

void TstWinsock::sendDataWithoutConnectionFails_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("never opened") << QStringLiteral("fresh");
    QTest::newRow("listening") << QStringLiteral("listening");
    QTest::newRow("still connecting") << QStringLiteral("connecting");
    QTest::newRow("after Close") << QStringLiteral("closed");
    QTest::newRow("peer has gone") << QStringLiteral("peer gone");
}

void TstWinsock::sendDataWithoutConnectionFails()
{
    QFETCH(QString, situation);
    Conversation c;
    QTcpServer raw;
    if (situation == QLatin1String("listening")) {
        c.endpoint->setLocalPort(0);
        c.endpoint->Listen();
    } else if (situation == QLatin1String("connecting")) {
        QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
        c.endpoint->setRemoteHost(QStringLiteral("127.0.0.1"));
        c.endpoint->setRemotePort(raw.serverPort());
        c.endpoint->Connect();
    } else if (situation != QLatin1String("fresh")) {
        OPEN_OR_RETURN(c, true);
        if (situation == QLatin1String("closed")) {
            c.endpoint->Close();
        } else {
            c.peer->disconnectFromHost();
            QTRY_COMPARE(c.closedCount, 1);
        }
    }
    QVERIFY_THROWS_EXCEPTION(platform::Error, c.endpoint->SendData(QStringLiteral("lost?")));
}

void TstWinsock::listenOnAPortInUseFails_data()
{
    QTest::addColumn<QHostAddress>("holderAddress");
    QTest::newRow("held on every address") << QHostAddress(QHostAddress::Any);
    QTest::newRow("held on IPv4 only") << QHostAddress(QHostAddress::AnyIPv4);
    QTest::newRow("held on loopback only") << QHostAddress(QHostAddress::LocalHost);
}

void TstWinsock::listenOnAPortInUseFails()
{
    QFETCH(QHostAddress, holderAddress);
    QTcpServer holder;
    QVERIFY(holder.listen(holderAddress, 0));
    Winsock endpoint;
    endpoint.setLocalPort(holder.serverPort());
    try {
        endpoint.Listen();
        QFAIL("a second listener on the same port was allowed");
    } catch (const platform::Error &error) {
        QCOMPARE(error.number(), platform::err::AddressInUse);
        QVERIFY2(error.reason().contains(QLatin1String("in use")), qPrintable(error.reason()));
    }
    QCOMPARE(endpoint.State(), platform::SocketState::Closed);
    // The failure leaves the endpoint usable.
    endpoint.setLocalPort(0);
    endpoint.Listen();
    QCOMPARE(endpoint.State(), platform::SocketState::Listening);
}

void TstWinsock::peerThatSpeaksAndLeavesAtOnceIsHeardOut()
{
    Conversation c;
    c.collect();
    Winsock *endpoint = c.endpoint.get();
    connect(endpoint, &Winsock::connectionRequest, endpoint, [endpoint](qint32 id) {
        endpoint->Close();
        endpoint->Accept(id);
    });
    endpoint->setLocalPort(0);
    endpoint->Listen();
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, quint16(endpoint->LocalPort()));
    QVERIFY(peer.waitForConnected(10000)); // blocks: the endpoint's loop does not run
    // All of it is sent before the endpoint has even raised the request.
    peer.write("\r\nEve: hello and goodbye");
    peer.disconnectFromHost();
    QTRY_COMPARE(c.closedCount, 1);
    QCOMPARE(c.received, QStringLiteral("\r\nEve: hello and goodbye"));
    QCOMPARE(c.receivedAtClose, c.received.size());
}

void TstWinsock::failedConnectIsReported_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("number");
    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << platform::err::ConnectionRefused;
    QTest::newRow("no address") << QString() << platform::err::HostNotFound;
    QTest::newRow("blanks for address") << QStringLiteral("   ") << platform::err::HostNotFound;
}

void TstWinsock::failedConnectIsReported()
{
    QFETCH(QString, host);
    QFETCH(int, number);
    Winsock endpoint;
    QSignalSpy failed(&endpoint, &Winsock::errorOccurred);
    QSignalSpy connected(&endpoint, &Winsock::connected);
    QSignalSpy closed(&endpoint, &Winsock::closed);
    endpoint.Close(); // on a closed endpoint: nothing happens
    QCOMPARE(endpoint.State(), platform::SocketState::Closed);
    endpoint.setRemoteHost(host);
    endpoint.setRemotePort(freeLowPort());
    endpoint.Connect();
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), number);
    QVERIFY(!failed.at(0).at(1).toString().isEmpty());
    QCOMPARE(endpoint.State(), platform::SocketState::Error);
    QCOMPARE(connected.count(), 0);
    endpoint.Close();
    endpoint.Close();
    QCOMPARE(endpoint.State(), platform::SocketState::Closed);
    QCOMPARE(failed.count() + closed.count(), 1);
    // After the failure the endpoint can start afresh.
    endpoint.setLocalPort(0);
    endpoint.Listen();
    QCOMPARE(endpoint.State(), platform::SocketState::Listening);
}

void TstWinsock::readChunkFollowsTheReceiver()
{
    // A receiver that takes 25 ms per arrival is given ever smaller arrivals,
    // down to 8 KiB, so the window gets its turn between them; once it is
    // quick again they grow back to 256 KiB, so a flood is read in few passes.
    Conversation c;
    OPEN_OR_RETURN(c, true);
    QList<qint32> sizes;
    connect(c.endpoint.get(), &Winsock::dataArrival, this, [&](qint32 bytes) {
        sizes << bytes;
        if (sizes.size() <= 6) {
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < 25) {
            }
        }
    });
    const QByteArray flood(6 << 20, 'x');
    c.peer->write(flood);
    QTRY_COMPARE_WITH_TIMEOUT(c.received.size(), flood.size(), 10000);
    QVERIFY2(sizes.size() > 12, qPrintable(QString::number(sizes.size())));
    const auto text = [](const QList<qint32> &list) {
        QStringList numbers;
        for (qint32 n : list)
            numbers << QString::number(n);
        return numbers.join(u' ');
    };
    QCOMPARE(text(sizes.sliced(3, 3)), QStringLiteral("8192 8192 8192"));
    QCOMPARE(*std::max_element(sizes.cbegin(), sizes.cend()), 262144);
    QVERIFY2(std::count(sizes.cbegin(), sizes.cend(), 262144) >= 10, qPrintable(text(sizes)));
}

namespace {
// An endpoint's phase, reached the way an endpoint reaches it.
EndpointPhase phaseAt(EndpointPhase::Phase target)
{
    EndpointPhase phase;
    if (target == EndpointPhase::Failed)
        phase.enter(EndpointPhase::Connecting);
    if (target == EndpointPhase::Finished)
        phase.enter(EndpointPhase::PeerGone);
    if (target != EndpointPhase::Idle)
        phase.enter(target);
    return phase;
}
} // namespace

void TstWinsock::phaseTakesOnlyItsSteps()
{
    using P = EndpointPhase;
    // Close may come at any time. Listen and Connect start from nothing; a
    // connection comes from an attempt or an accepted request, which may
    // already be gone; an attempt either connects or fails; the end of a
    // conversation is delivered, then finished.
    const QMultiHash<P::Phase, P::Phase> allowed = {
        {P::Idle, P::Listening}, {P::Idle, P::Connecting}, {P::Idle, P::Talking}, {P::Idle, P::PeerGone},
        {P::Connecting, P::Talking}, {P::Connecting, P::Failed}, {P::Connecting, P::PeerGone},
        {P::Talking, P::PeerGone}, {P::PeerGone, P::Finished},
    };
    const QList<P::Phase> all = {P::Idle, P::Listening, P::Connecting, P::Failed, P::Talking, P::PeerGone, P::Finished};
    for (P::Phase from : all) {
        for (P::Phase to : all) {
            const bool expected = to == P::Idle || allowed.contains(from, to);
            QVERIFY2(P::canEnter(from, to) == expected,
                     qPrintable(QStringLiteral("%1 -> %2 should be %3").arg(from).arg(to).arg(expected ? "allowed" : "refused")));
        }
    }
}

void TstWinsock::phaseReportsItsState_data()
{
    using P = EndpointPhase;
    using Q = QAbstractSocket;
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("connection");
    QTest::addColumn<int>("state");
    // The numbers are the ones callers keep: 0 closed, 2 listening, 4 resolving,
    // 6 connecting, 7 connected, 8 closing, 9 error.
    QTest::newRow("idle") << int(P::Idle) << int(Q::ConnectedState) << 0;
    QTest::newRow("listening") << int(P::Listening) << int(Q::UnconnectedState) << 2;
    QTest::newRow("looking up the host") << int(P::Connecting) << int(Q::HostLookupState) << 4;
    QTest::newRow("attempt under way") << int(P::Connecting) << int(Q::ConnectingState) << 6;
    QTest::newRow("attempt without a socket") << int(P::Connecting) << int(Q::UnconnectedState) << 0;
    QTest::newRow("failed") << int(P::Failed) << int(Q::UnconnectedState) << 9;
    QTest::newRow("talking") << int(P::Talking) << int(Q::ConnectedState) << 7;
    QTest::newRow("talking, Qt closing") << int(P::Talking) << int(Q::ClosingState) << 8;
    QTest::newRow("peer gone, its text unread") << int(P::PeerGone) << int(Q::ConnectedState) << 8;
    QTest::newRow("finished") << int(P::Finished) << int(Q::UnconnectedState) << 8;
}

void TstWinsock::phaseReportsItsState()
{
    QFETCH(int, phase);
    QFETCH(int, connection);
    QFETCH(int, state);
    const EndpointPhase at = phaseAt(EndpointPhase::Phase(phase));
    QCOMPARE(int(at.current()), phase);
    QCOMPARE(int(at.reported(QAbstractSocket::SocketState(connection))), state);
}

QTEST_GUILESS_MAIN(TstWinsock)
#include "tst_winsock.moc"
